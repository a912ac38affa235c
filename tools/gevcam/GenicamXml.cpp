#include "GenicamXml.h"

#include <cstdio>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "DeviceRegisters.h"
#include "GevProtocol.h"
#include "zursim/CameraModel.h"

namespace gevcam {
namespace {

namespace reg = zursim::reg;

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

// Text for an attribute or element: the names and values here are ours, but
// the model and serial come from the configuration.
std::string Escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

enum class Access { RO, RW, WO };

const char* AccessText(Access access) {
    switch (access) {
        case Access::RO:
            return "RO";
        case Access::WO:
            return "WO";
        case Access::RW:
            break;
    }
    return "RW";
}

struct Entry {
    const char* name;
    std::int64_t value;
};

// A bound of an Integer: another node, a number or none.
struct Bound {
    std::string text;
    bool node = false;
};
Bound Node(std::string name) {
    return {std::move(name), true};
}
Bound Number(std::int64_t value) {
    return {std::to_string(value), false};
}
const Bound kNone{};

// The document, appended piece by piece: a camera is made in well under a
// millisecond, which the fuzzer, making one per input, notices.
class Document {
  public:
    std::string text;

    void Add(std::initializer_list<std::string_view> parts) {
        for (const std::string_view part : parts) {
            text.append(part);
        }
    }

    void Category(std::string_view name, std::initializer_list<std::string_view> features) {
        Add({"  <Category Name=\"", name, "\" NameSpace=\"Standard\">\n"});
        for (const std::string_view feature : features) {
            Add({"    <pFeature>", feature, "</pFeature>\n"});
        }
        Add({"  </Category>\n"});
    }

    // A register node's common part: address, length, access, port, no cache.
    void Register(std::string_view kind, std::string_view name, std::uint32_t address,
                  std::uint32_t length, Access access, std::string_view extra,
                  std::string_view space = {}) {
        Add({"  <", kind, " Name=\"", name, "\""});
        if (!space.empty()) {
            Add({" NameSpace=\"", space, "\""});
        }
        Add({">\n    <Address>", Hex(address), "</Address>\n    <Length>", std::to_string(length),
             "</Length>\n    <AccessMode>", AccessText(access),
             "</AccessMode>\n    <pPort>Device</pPort>\n", extra, "  </", kind, ">\n"});
    }
    void IntReg(std::string_view name, std::uint32_t address, Access access,
                std::uint32_t length = 4) {
        Register("IntReg", name, address, length, access,
                 "    <Cachable>NoCache</Cachable>\n    <Sign>Unsigned</Sign>\n"
                 "    <Endianess>BigEndian</Endianess>\n");
    }
    // Bits numbered as in a big-endian register: 0 is the most significant.
    void MaskedIntReg(std::string_view name, std::uint32_t address, Access access, unsigned lsb,
                      unsigned msb) {
        const std::string bits = "    <Cachable>NoCache</Cachable>\n    <LSB>" +
                                 std::to_string(lsb) + "</LSB>\n    <MSB>" + std::to_string(msb) +
                                 "</MSB>\n    <Sign>Unsigned</Sign>\n"
                                 "    <Endianess>BigEndian</Endianess>\n";
        Register("MaskedIntReg", name, address, 4, access, bits);
    }
    void FloatReg(std::string_view name, std::uint32_t address, Access access) {
        Register("FloatReg", name, address, 4, access,
                 "    <Cachable>NoCache</Cachable>\n    <Endianess>BigEndian</Endianess>\n");
    }
    void StringReg(std::string_view name, std::uint32_t address, std::uint32_t length,
                   Access access) {
        Register("StringReg", name, address, length, access, {}, "Standard");
    }

    // An integer feature over a register, with bounds that are nodes or numbers.
    void Integer(std::string_view name, std::string_view value, const Bound& min, const Bound& max,
                 std::string_view space = "Standard") {
        Add({"  <Integer Name=\"", name, "\" NameSpace=\"", space, "\">\n    <pValue>", value,
             "</pValue>\n"});
        for (const auto& [bound, kind] :
             {std::pair<const Bound&, std::string_view>{min, "Min>"}, {max, "Max>"}}) {
            if (!bound.text.empty()) {
                const std::string_view p = bound.node ? "p" : "";
                Add({"    <", p, kind, bound.text, "</", p, kind, "\n"});
            }
        }
        Add({"  </Integer>\n"});
    }
    // An XCG integer register with its limit registers.
    void LimitedInteger(const std::string& name, std::uint32_t address, std::uint32_t maxAddress,
                        std::string_view space = "Custom") {
        IntReg(name + "Reg", address, Access::RW);
        IntReg(name + "MaxReg", maxAddress, Access::RO);
        IntReg(name + "MinReg", maxAddress + reg::kMinOffset, Access::RO);
        Integer(name, name + "Reg", Node(name + "MinReg"), Node(name + "MaxReg"), space);
    }
    // An XCG integer register with fixed bounds.
    void BoundedInteger(const std::string& name, std::uint32_t address, std::int64_t min,
                        std::int64_t max) {
        IntReg(name + "Reg", address, Access::RW);
        Integer(name, name + "Reg", Number(min), Number(max), "Custom");
    }
    void PlainInteger(const std::string& name, std::uint32_t address, Access access,
                      std::string_view space = "Custom") {
        IntReg(name + "Reg", address, access);
        Integer(name, name + "Reg", kNone, kNone, space);
    }

    void LimitedFloat(const std::string& name, std::uint32_t address, std::uint32_t maxAddress,
                      std::string_view space = "Custom") {
        FloatReg(name + "Reg", address, Access::RW);
        FloatReg(name + "MaxReg", maxAddress, Access::RO);
        FloatReg(name + "MinReg", maxAddress + reg::kMinOffset, Access::RO);
        Add({"  <Float Name=\"", name, "\" NameSpace=\"", space, "\">\n    <pValue>", name,
             "Reg</pValue>\n    <pMin>", name, "MinReg</pMin>\n    <pMax>", name,
             "MaxReg</pMax>\n  </Float>\n"});
    }

    void Enumeration(std::string_view name, std::string_view value,
                     const std::vector<Entry>& entries, std::string_view space) {
        Add({"  <Enumeration Name=\"", name, "\" NameSpace=\"", space, "\">\n"});
        for (const Entry& entry : entries) {
            Add({"    <EnumEntry Name=\"", entry.name, "\" NameSpace=\"", space,
                 "\">\n      <Value>", std::to_string(entry.value),
                 "</Value>\n    </EnumEntry>\n"});
        }
        Add({"    <pValue>", value, "</pValue>\n  </Enumeration>\n"});
    }
    void RegisterEnumeration(const std::string& name, std::uint32_t address,
                             const std::vector<Entry>& entries, std::string_view space = "Custom") {
        IntReg(name + "Reg", address, Access::RW);
        Enumeration(name, name + "Reg", entries, space);
    }

    void Boolean(std::string_view name, std::string_view value) {
        Add({"  <Boolean Name=\"", name, "\" NameSpace=\"Standard\">\n    <pValue>", value,
             "</pValue>\n    <OnValue>1</OnValue>\n    <OffValue>0</OffValue>\n  </Boolean>\n"});
    }

    void Command(std::string_view name, std::string_view value, std::string_view space) {
        Add({"  <Command Name=\"", name, "\" NameSpace=\"", space, "\">\n    <pValue>", value,
             "</pValue>\n    <CommandValue>1</CommandValue>\n  </Command>\n"});
    }

    void SwissKnife(std::string_view name,
                    std::initializer_list<std::pair<std::string_view, std::string_view>> variables,
                    std::string_view formula) {
        Add({"  <IntSwissKnife Name=\"", name, "\">\n"});
        for (const auto& [variable, node] : variables) {
            Add({"    <pVariable Name=\"", variable, "\">", node, "</pVariable>\n"});
        }
        Add({"    <Formula>", formula, "</Formula>\n  </IntSwissKnife>\n"});
    }
};

void DeviceControl(Document& doc) {
    namespace bs = bootstrap;
    doc.Category("DeviceControl", {"DeviceVendorName", "DeviceModelName", "DeviceVersion",
                                   "DeviceManufacturerInfo", "DeviceSerialNumber", "DeviceID",
                                   "DeviceUserID", "SensorWidth", "SensorHeight", "FrameCounter"});
    doc.StringReg("DeviceVendorName", bs::kManufacturerName, 32, Access::RO);
    doc.StringReg("DeviceModelName", bs::kModelName, 32, Access::RO);
    doc.StringReg("DeviceVersion", bs::kDeviceVersion, 32, Access::RO);
    doc.StringReg("DeviceManufacturerInfo", bs::kManufacturerInfo, 48, Access::RO);
    doc.StringReg("DeviceSerialNumber", bs::kSerialNumber, 16, Access::RO);
    doc.StringReg("DeviceID", bs::kSerialNumber, 16, Access::RO);
    doc.StringReg("DeviceUserID", bs::kUserDefinedName, 16, Access::RW);
    doc.PlainInteger("SensorWidth", device::kSensorWidth, Access::RO, "Standard");
    doc.PlainInteger("SensorHeight", device::kSensorHeight, Access::RO, "Standard");
    doc.PlainInteger("FrameCounter", device::kFrameCounter, Access::RO);
}

void ImageFormatControl(Document& doc, const XmlCamera& camera) {
    if (camera.h280) {
        doc.Category("ImageFormatControl",
                     {"Width", "Height", "OffsetX", "OffsetY", "WidthMax", "HeightMax",
                      "PixelFormat", "VerticalBinning", "HorizontalBinning", "SensorTaps"});
    } else if (camera.color) {
        doc.Category("ImageFormatControl", {"Width", "Height", "OffsetX", "OffsetY", "WidthMax",
                                            "HeightMax", "PixelFormat"});
    } else {
        doc.Category("ImageFormatControl", {"Width", "Height", "OffsetX", "OffsetY", "WidthMax",
                                            "HeightMax", "PixelFormat", "VerticalBinning"});
    }
    // The window must stay on the sensor: each size is bounded by the
    // sensor less its offset, and each offset by the sensor less its size.
    doc.IntReg("WidthReg", reg::kWidth, Access::RW);
    doc.IntReg("HeightReg", reg::kHeight, Access::RW);
    doc.IntReg("OffsetXReg", reg::kOffsetX, Access::RW);
    doc.IntReg("OffsetYReg", reg::kOffsetY, Access::RW);
    doc.IntReg("WidthMaxReg", reg::kWidthMax, Access::RO);
    doc.IntReg("WidthMinReg", reg::kWidthMax + reg::kMinOffset, Access::RO);
    doc.IntReg("HeightMaxReg", reg::kHeightMax, Access::RO);
    doc.IntReg("HeightMinReg", reg::kHeightMax + reg::kMinOffset, Access::RO);
    doc.SwissKnife("WidthBound", {{"MAX", "WidthMaxReg"}, {"OFFSET", "OffsetXReg"}},
                   "MAX - OFFSET");
    doc.SwissKnife("HeightBound", {{"MAX", "HeightMaxReg"}, {"OFFSET", "OffsetYReg"}},
                   "MAX - OFFSET");
    doc.SwissKnife("OffsetXBound", {{"MAX", "WidthMaxReg"}, {"SIZE", "WidthReg"}}, "MAX - SIZE");
    doc.SwissKnife("OffsetYBound", {{"MAX", "HeightMaxReg"}, {"SIZE", "HeightReg"}}, "MAX - SIZE");
    doc.Integer("Width", "WidthReg", Node("WidthMinReg"), Node("WidthBound"));
    doc.Integer("Height", "HeightReg", Node("HeightMinReg"), Node("HeightBound"));
    doc.Integer("OffsetX", "OffsetXReg", Number(0), Node("OffsetXBound"));
    doc.Integer("OffsetY", "OffsetYReg", Number(0), Node("OffsetYBound"));
    doc.Integer("WidthMax", "WidthMaxReg", kNone, kNone);
    doc.Integer("HeightMax", "HeightMaxReg", kNone, kNone);

    std::vector<Entry> formats;
    for (const PixelFormatEntry& format : camera.pixelFormats) {
        formats.push_back({format.name.c_str(), format.code});
    }
    doc.RegisterEnumeration("PixelFormat", device::kPixelFormat, formats, "Standard");

    if (!camera.color) {
        doc.BoundedInteger("VerticalBinning", reg::kVerticalBinning, 0, camera.h280 ? 2 : 1);
    }
    if (camera.h280) {
        doc.BoundedInteger("HorizontalBinning", reg::kHorizontalBinning, 0, 2);
        doc.RegisterEnumeration("SensorTaps", reg::kSensorTaps, {{"Taps2", 2}, {"Taps4", 4}});
    }
}

void AcquisitionControl(Document& doc, const XmlCamera& camera) {
    doc.Category(
        "AcquisitionControl",
        {"AcquisitionMode", "AcquisitionStart", "AcquisitionStop", "PayloadSize", "TLParamsLocked",
         "AcquisitionFrameRate", "FrameRateAuto", "TriggerMode", "TriggerSource",
         "TriggerActivation", "TriggerInhibit", "TriggerDelay", "TriggerSoftware", "Exposure"});
    doc.RegisterEnumeration("AcquisitionMode", device::kAcquisitionMode,
                            {{"Continuous", device::kAcquisitionContinuous},
                             {"SingleFrame", device::kAcquisitionSingleFrame}},
                            "Standard");
    doc.IntReg("AcquisitionStartReg", device::kAcquisitionStart, Access::RW);
    doc.Command("AcquisitionStart", "AcquisitionStartReg", "Standard");
    doc.IntReg("AcquisitionStopReg", device::kAcquisitionStop, Access::RW);
    doc.Command("AcquisitionStop", "AcquisitionStopReg", "Standard");
    doc.PlainInteger("PayloadSize", device::kPayloadSize, Access::RO, "Standard");
    doc.IntReg("TLParamsLockedReg", device::kTlParamsLocked, Access::RW);
    doc.Integer("TLParamsLocked", "TLParamsLockedReg", Number(0), Number(1));

    if (camera.h280) {
        // Frames per second times 1,000,000 in the register.
        doc.LimitedInteger("FrameRateMicro", reg::kFrameRate, reg::kFrameRateMax);
        doc.text +=
            "  <Converter Name=\"AcquisitionFrameRate\" NameSpace=\"Standard\">\n"
            "    <FormulaTo>FROM * 1000000</FormulaTo>\n"
            "    <FormulaFrom>TO / 1000000</FormulaFrom>\n"
            "    <pValue>FrameRateMicro</pValue>\n  </Converter>\n";
    } else {
        doc.LimitedFloat("AcquisitionFrameRate", reg::kFrameRate, reg::kFrameRateMax, "Standard");
    }
    doc.PlainInteger("FrameRateAuto", reg::kFrameRateAuto, Access::RW);

    doc.RegisterEnumeration("TriggerMode", reg::kTriggerMode, {{"Off", 0}, {"On", 1}}, "Standard");
    doc.RegisterEnumeration("TriggerSource", reg::kTriggerSource,
                            {{"Hardware", 0}, {"Software", 1}}, "Standard");
    doc.RegisterEnumeration(
        "TriggerActivation", reg::kTriggerActivation,
        {{"FallingEdge", 4}, {"LowLevel", 5}, {"RisingEdge", 6}, {"HighLevel", 7}}, "Standard");
    doc.RegisterEnumeration("TriggerInhibit", reg::kTriggerInhibit, {{"Off", 0}, {"On", 1}});
    doc.LimitedInteger("TriggerDelay", reg::kTriggerDelay, reg::kTriggerDelayMax);
    doc.IntReg("TriggerSoftwareReg", reg::kSoftwareTrigger, Access::RW);
    doc.Command("TriggerSoftware", "TriggerSoftwareReg", "Standard");
    doc.LimitedInteger("Exposure", reg::kExposure, reg::kExposureMax);
}

void AnalogControl(Document& doc, const XmlCamera& camera) {
    if (camera.color) {
        doc.Category("AnalogControl",
                     {"Gain", "GainAuto", "BlackLevel", "BlackLevelAuto", "BlackLevelSelector",
                      "Gamma", "GainRed", "GainGreen", "GainBlue"});
    } else if (camera.h280) {
        doc.Category("AnalogControl", {"Gain", "GainAuto", "BlackLevel", "BlackLevelAuto"});
    } else {
        doc.Category("AnalogControl", {"Gain", "GainAuto", "BlackLevel", "BlackLevelAuto",
                                       "BlackLevelSelector", "Gamma"});
    }
    doc.LimitedInteger("Gain", camera.h280 ? reg::kGainH280 : reg::kGain, reg::kGainMax);
    doc.PlainInteger("GainAuto", reg::kGainAuto, Access::RW);
    doc.LimitedInteger("BlackLevel", camera.h280 ? reg::kBlackLevelH280 : reg::kBlackLevel,
                       reg::kBlackLevelMax);
    doc.PlainInteger("BlackLevelAuto", reg::kBlackLevelAuto, Access::RW);
    if (!camera.h280) {
        doc.PlainInteger("BlackLevelSelector", reg::kBlackLevelSelector, Access::RW);
        doc.LimitedFloat("Gamma", reg::kGamma, reg::kGammaMax);
    }
    if (camera.color) {
        doc.LimitedInteger("GainRed", reg::kGainRed, reg::kColorGainMax);
        doc.LimitedInteger("GainGreen", reg::kGainGreen, reg::kColorGainMax);
        doc.LimitedInteger("GainBlue", reg::kGainBlue, reg::kColorGainMax);
    }
}

void DigitalIoControl(Document& doc, const XmlCamera& camera) {
    doc.Category("DigitalIOControl",
                 {"ActiveGPO", "LineSource1", "LineSource2", "LineInverter1", "LineInverter2",
                  "StrobeDelay1", "StrobeDelay2", "StrobeDuration1", "StrobeDuration2"});
    // The lower half of the register; the upper half is the camera's own.
    doc.MaskedIntReg("ActiveGPOReg", camera.h280 ? reg::kActiveGpoH280 : reg::kActiveGpo,
                     Access::RW, 31, 16);
    doc.Enumeration("ActiveGPO", "ActiveGPOReg", {{"None", 0}, {"GPO1", 1}, {"GPO2", 2}}, "Custom");
    const std::vector<Entry> sources =
        camera.h280
            ? std::vector<Entry>{{"Exposure", 0},    {"Strobe", 1},        {"UserOutput0", 2},
                                 {"UserOutput1", 3}, {"SensorReadout", 4}, {"TriggerSignal", 5},
                                 {"True", 6},        {"False", 7}}
            : std::vector<Entry>{{"Exposure", 0}, {"Strobe", 1}, {"GPO", 2}};
    doc.RegisterEnumeration("LineSource1", reg::kLineSource1, sources);
    doc.RegisterEnumeration("LineSource2", reg::kLineSource2, sources);
    const bool alternate = camera.color || camera.h280;
    doc.BoundedInteger("LineInverter1", alternate ? reg::kLineInverter1Alt : reg::kLineInverter1, 0,
                       1);
    doc.BoundedInteger("LineInverter2", alternate ? reg::kLineInverter2Alt : reg::kLineInverter2, 0,
                       1);
    doc.IntReg("StrobeDelayMaxReg", reg::kStrobeDelayMax, Access::RO);
    doc.IntReg("StrobeDelayMinReg", reg::kStrobeDelayMax + reg::kMinOffset, Access::RO);
    doc.IntReg("StrobeDurationMaxReg", reg::kStrobeDurationMax, Access::RO);
    doc.IntReg("StrobeDurationMinReg", reg::kStrobeDurationMax + reg::kMinOffset, Access::RO);
    for (const auto& [name, address] :
         {std::pair<const char*, std::uint32_t>{"StrobeDelay1", reg::kStrobeDelay1},
          {"StrobeDelay2", reg::kStrobeDelay2}}) {
        doc.IntReg(std::string(name) + "Reg", address, Access::RW);
        doc.Integer(name, std::string(name) + "Reg", Node("StrobeDelayMinReg"),
                    Node("StrobeDelayMaxReg"), "Custom");
    }
    for (const auto& [name, address] :
         {std::pair<const char*, std::uint32_t>{"StrobeDuration1", reg::kStrobeDuration1},
          {"StrobeDuration2", reg::kStrobeDuration2}}) {
        doc.IntReg(std::string(name) + "Reg", address, Access::RW);
        doc.Integer(name, std::string(name) + "Reg", Node("StrobeDurationMinReg"),
                    Node("StrobeDurationMaxReg"), "Custom");
    }
}

void TransportLayerControl(Document& doc) {
    namespace bs = bootstrap;
    doc.Category("TransportLayerControl", {"GevVersionMajor",
                                           "GevVersionMinor",
                                           "GevDeviceModeIsBigEndian",
                                           "GevMACAddress",
                                           "GevCurrentIPAddress",
                                           "GevCurrentSubnetMask",
                                           "GevCurrentDefaultGateway",
                                           "GevFirstURL",
                                           "GevNumberOfInterfaces",
                                           "GevMessageChannelCount",
                                           "GevStreamChannelCount",
                                           "GevHeartbeatTimeout",
                                           "GevGVCPHeartbeatDisable",
                                           "GevTimestampTickFrequency",
                                           "GevCCP",
                                           "GevSCPHostPort",
                                           "GevSCPSPacketSize",
                                           "GevSCPSFireTestPacket",
                                           "GevSCPSDoNotFragment",
                                           "GevSCPD",
                                           "GevSCDA",
                                           "GevSCSP",
                                           "XcgBandAdjust",
                                           "XcgBandLevel"});
    doc.MaskedIntReg("GevVersionMajorReg", bs::kVersion, Access::RO, 15, 0);
    doc.Integer("GevVersionMajor", "GevVersionMajorReg", kNone, kNone);
    doc.MaskedIntReg("GevVersionMinorReg", bs::kVersion, Access::RO, 31, 16);
    doc.Integer("GevVersionMinor", "GevVersionMinorReg", kNone, kNone);
    doc.MaskedIntReg("GevDeviceModeIsBigEndianReg", bs::kDeviceMode, Access::RO, 0, 0);
    doc.Boolean("GevDeviceModeIsBigEndian", "GevDeviceModeIsBigEndianReg");
    doc.IntReg("GevMACAddressReg", bs::kMacHigh, Access::RO, 8);
    doc.Integer("GevMACAddress", "GevMACAddressReg", kNone, kNone);
    doc.PlainInteger("GevCurrentIPAddress", bs::kCurrentIp, Access::RO, "Standard");
    doc.PlainInteger("GevCurrentSubnetMask", bs::kSubnetMask, Access::RO, "Standard");
    doc.PlainInteger("GevCurrentDefaultGateway", bs::kDefaultGateway, Access::RO, "Standard");
    doc.StringReg("GevFirstURL", bs::kFirstUrl, 512, Access::RO);
    doc.PlainInteger("GevNumberOfInterfaces", bs::kNetworkInterfaces, Access::RO, "Standard");
    doc.PlainInteger("GevMessageChannelCount", bs::kMessageChannels, Access::RO, "Standard");
    doc.PlainInteger("GevStreamChannelCount", bs::kStreamChannels, Access::RO, "Standard");
    doc.IntReg("GevHeartbeatTimeoutReg", bs::kHeartbeatTimeout, Access::RW);
    doc.Integer("GevHeartbeatTimeout", "GevHeartbeatTimeoutReg", Number(device::kMinHeartbeatMs),
                kNone);
    doc.MaskedIntReg("GevGVCPHeartbeatDisableReg", bs::kGvcpConfiguration, Access::RW, 31, 31);
    doc.Boolean("GevGVCPHeartbeatDisable", "GevGVCPHeartbeatDisableReg");
    doc.IntReg("GevTimestampTickFrequencyReg", bs::kTickFrequencyHigh, Access::RO, 8);
    doc.Integer("GevTimestampTickFrequency", "GevTimestampTickFrequencyReg", kNone, kNone);
    doc.RegisterEnumeration("GevCCP", bs::kControlPrivilege,
                            {{"OpenAccess", 0}, {"ExclusiveAccess", 1}, {"ControlAccess", 2}},
                            "Standard");
    doc.MaskedIntReg("GevSCPHostPortReg", bs::kStreamPort, Access::RW, 31, 16);
    doc.Integer("GevSCPHostPort", "GevSCPHostPortReg", Number(0), Number(65535));
    doc.MaskedIntReg("GevSCPSPacketSizeReg", bs::kStreamPacketSize, Access::RW, 31, 16);
    doc.Integer("GevSCPSPacketSize", "GevSCPSPacketSizeReg", Number(device::kMinPacketSize),
                Number(device::kMaxPacketSize));
    doc.MaskedIntReg("GevSCPSFireTestPacketReg", bs::kStreamPacketSize, Access::RW, 0, 0);
    doc.Boolean("GevSCPSFireTestPacket", "GevSCPSFireTestPacketReg");
    doc.MaskedIntReg("GevSCPSDoNotFragmentReg", bs::kStreamPacketSize, Access::RW, 1, 1);
    doc.Boolean("GevSCPSDoNotFragment", "GevSCPSDoNotFragmentReg");
    doc.PlainInteger("GevSCPD", bs::kStreamPacketDelay, Access::RW, "Standard");
    doc.PlainInteger("GevSCDA", bs::kStreamDestination, Access::RW, "Standard");
    doc.PlainInteger("GevSCSP", bs::kStreamSourcePort, Access::RO, "Standard");
    doc.IntReg("XcgBandAdjustReg", device::kBandAdjust, Access::RW);
    doc.Integer("XcgBandAdjust", "XcgBandAdjustReg", Number(0), Number(1), "Custom");
    doc.IntReg("XcgBandLevelReg", device::kBandLevel, Access::RW);
    doc.Integer("XcgBandLevel", "XcgBandLevelReg", Number(0), Number(device::kMaxBandLevel),
                "Custom");
}

}  // namespace

std::string BuildGenicamXml(const XmlCamera& camera) {
    Document doc;
    doc.text.reserve(48 << 10);
    const std::string model = Escape(camera.model);
    doc.Add({"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<RegisterDescription ModelName=\"", model,
             "\" VendorName=\"Zaze\" ToolTip=\"Simulated ", model,
             " served by gevcam\" StandardNameSpace=\"GEV\" SchemaMajorVersion=\"1\" "
             "SchemaMinorVersion=\"1\" SchemaSubMinorVersion=\"0\" MajorVersion=\"1\" "
             "MinorVersion=\"0\" SubMinorVersion=\"0\" "
             "ProductGuid=\"7A2E0C1B-3D5F-4C8E-9B1A-6F0D2E4C8A10\" "
             "VersionGuid=\"7A2E0C1B-3D5F-4C8E-9B1A-6F0D2E4C8A11\" "
             "xmlns=\"http://www.genicam.org/GenApi/Version_1_1\" "
             "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
             "xsi:schemaLocation=\"http://www.genicam.org/GenApi/Version_1_1 "
             "http://www.genicam.org/GenApi/GenApiSchema_Version_1_1.xsd\">\n"});
    doc.Category("Root", {"DeviceControl", "ImageFormatControl", "AcquisitionControl",
                          "AnalogControl", "DigitalIOControl", "TransportLayerControl"});
    DeviceControl(doc);
    ImageFormatControl(doc, camera);
    AcquisitionControl(doc, camera);
    AnalogControl(doc, camera);
    DigitalIoControl(doc, camera);
    TransportLayerControl(doc);
    doc.Add({"  <Port Name=\"Device\" NameSpace=\"Standard\"/>\n</RegisterDescription>\n"});
    return doc.text;
}

}  // namespace gevcam
