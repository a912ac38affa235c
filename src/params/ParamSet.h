#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "params/ModelFlags.h"
#include "params/Param.h"

// A camera's whole set of settings. It is empty (every name empty) until a
// family definition fills it: Define picks the definition from the camera's
// identity flags, and every definition resets all 34 parameters to the
// family's initial values, bounds, registers and item lists.
class ParamSet {
  public:
    Param<int> LogLevel;
    Param<int> LogIntoFile;
    Param<int> Exposure;
    Param<int> BlackLevel;
    Param<double> FrameRate;
    Param<double> Gamma;
    Param<int> ImageWidth;
    Param<int> ImageHeight;
    Param<int> ImageOffsetX;
    Param<int> ImageOffsetY;
    Param<int> Gain;
    Param<int> GainRed;
    Param<int> GainGreen;
    Param<int> GainBlue;
    Param<int> VerticalBinning;
    Param<int> HorizontalBinning;
    Param<int> BandAdjustment;
    Param<int> BandLevel;
    ParamEnum TriggerMode;
    ParamEnum TriggerSource;
    ParamEnum TriggerActivation;
    ParamEnum TriggerInhibit;
    Param<int> TriggerDelay;
    ParamEnum SensorTaps;  // "Sensor Taps"
    ParamEnum ActiveGPO;
    ParamEnum LineSource1;
    ParamEnum LineSource2;
    Param<int> LineInverter1;
    Param<int> LineInverter2;
    Param<int> StrobeDuration1;
    Param<int> StrobeDuration2;
    Param<int> StrobeDelay1;
    Param<int> StrobeDelay2;
    ParamEnum ColorFilter;

    std::uint32_t identityFlags = 0;  // the camera's ModelFlag bits
    std::string identityString;

    ParamSet() = default;
    // A copy has the source's identity, values, bounds and item lists: the
    // same as defining the source's family and then assigning the source.
    ParamSet(const ParamSet&) = default;
    ParamSet& operator=(const ParamSet&) = default;

    // Keeps the identity and runs the family definition it selects: H280
    // when ModelH280 is set, else colour when ModelColor is set, else standard.
    void Define(std::uint32_t flags, std::string_view identity);
    void DefineStandard();
    void DefineColor();
    void DefineH280();

    // False until a family definition has given the parameters their names.
    bool IsDefined() const;

    // Every parameter, integers, then decimals, then enumerations: for code
    // that treats them all alike.
    using Member = std::variant<Param<int>*, Param<double>*, ParamEnum*>;
    std::vector<Member> Members();

    // Reads the parameters from, or writes them to, the camera's section of
    // the INI file in the system path (see IniExchange). False for a null or
    // empty camera name or an undefined set, when nothing is read or written,
    // and after a save of which any write failed.
    bool Load(const char* cameraName);
    bool Save(const char* cameraName);
    bool Persist(const char* cameraName, bool save);

    bool operator==(const ParamSet&) const = default;

  private:
    void DefineFamily(Family family);
};
