#pragma once

// How each of the seventeen exports runs: whether it runs in an export frame,
// what it returns when an exception reaches it, and what it logs then. An
// export is its policy and its body: RunExport<policy::name>(arguments, body).
// Nothing escapes an export: a standard exception is logged with the
// policy's standard text, any other (the DriverError of a failed lookup
// among them) with its other text, and the export returns its failure
// result.

#include <cstddef>
#include <exception>
#include <string_view>
#include <type_traits>

#include "log/DriverLog.h"
#include "log/ExportFrame.h"

enum class Frame {
    None,    // the body touches no camera and holds nothing back from the host
    Export,  // the body runs in an export frame (log/ExportFrame.h)
};

// What an export's exception texts may name, each as {name}: the export's
// arguments and {what}, the standard exception's description. Texts are
// printed as the host has always seen them ("(null)" for a missing text).
struct ExportArgs {
    int grabberNo = 0;
    int portNo = 0;
    const char* cameraName = nullptr;
    const char* property = nullptr;
    int value = 0;
};

template <typename Result>
struct ExportPolicy {
    Frame frame;
    Result onException;
    const char* standardText = nullptr;    // level 1; none: nothing is logged
    const char* otherText = nullptr;       // level 1; none: nothing is logged
    const char* afterException = nullptr;  // level 2, after either text
};

template <>
struct ExportPolicy<void> {
    Frame frame;
    const char* standardText = nullptr;
    const char* otherText = nullptr;
    const char* afterException = nullptr;
};

namespace policy {

inline char* noCameraNames[1] = {nullptr};

// clang-format off
inline constexpr ExportPolicy<int> initialize{
    .frame = Frame::Export, .onException = 0,
    .standardText = "initialize: --EXCEPTION caught : {what}\n",
    .otherText = "initialize: ZavaDED camera driver -- EXCEPTION occured\n"};
inline constexpr ExportPolicy<int> finalize{
    .frame = Frame::Export, .onException = 0,
    .standardText = "finalize: --EXCEPTION caught: {what}\n",
    .otherText = "finalize: --EXCEPTION occured \n"};
// The log's own lock guards the path, and the message callback is atomic.
inline constexpr ExportPolicy<int> setSystemPath{.frame = Frame::None, .onException = 0};
inline constexpr ExportPolicy<void> setDebugMsgProc{.frame = Frame::None};
inline constexpr ExportPolicy<int> getCVLMaxNoOfGrabbers{.frame = Frame::None, .onException = 0};
inline constexpr ExportPolicy<int> getCVLMaxNoOfPorts{.frame = Frame::None, .onException = 0};
inline constexpr ExportPolicy<int> getCVLNoOfSupportedCameras{
    .frame = Frame::Export, .onException = 0};
// Out of memory: an empty list rather than an exception into the host.
inline constexpr ExportPolicy<char**> getCVLCameraConfigNames{
    .frame = Frame::Export, .onException = noCameraNames};
inline constexpr ExportPolicy<int> openCVLPort{
    .frame = Frame::Export, .onException = 0,
    .standardText = "openCVLPort: --EXCEPTION caught grabberNo={grabberNo}, portNo={portNo}: {what}\n",
    .otherText = "openCVLPort: --EXCEPTION caught grabberNo={grabberNo}, portNo={portNo}, cameraName={cameraName}\n"};
inline constexpr ExportPolicy<void> closeCVLPort{
    .frame = Frame::Export,
    .standardText = "closeCVLPort: --EXCEPTION caught  grabberNo={grabberNo}, portNo={portNo}: {what}\n",
    .otherText = "closeCVLPort: --EXCEPTION caught  grabberNo={grabberNo}, portNo={portNo}\n"};
inline constexpr ExportPolicy<int> doCVLGrab{
    .frame = Frame::Export, .onException = 0,
    .standardText = "doCVLGrab: --EXCEPTION caught  grabberNo={grabberNo}, portNo={portNo}: {what}\n",
    .otherText = "doCVLGrab: --EXCEPTION caught  grabberNo={grabberNo} portNo={portNo}\n"};
inline constexpr ExportPolicy<int> getCVLGrabRow{
    .frame = Frame::Export, .onException = 0,
    .standardText = "getCVLGrabRow: --EXCEPTION caught grabberNo={grabberNo}, portNo={portNo}: {what}\n",
    .otherText = "getCVLGrabRow: --EXCEPTION caught \n"};
inline constexpr ExportPolicy<int> setCompleteCallback{
    .frame = Frame::Export, .onException = 0,
    .standardText = "setCompleteCallback: --EXCEPTION caught grabberNo={grabberNo}, portNo={portNo}: {what}\n",
    .otherText = "setCompleteCallback: --EXCEPTION caught \n"};
inline constexpr ExportPolicy<int> getProperty{
    .frame = Frame::Export, .onException = 0,
    .standardText = "getProperty: --EXCEPTION caught grabberNo={grabberNo}, portNo={portNo}, property={property}: {what}\n",
    .otherText = "--EXCEPTION caught at getProperty\n"};
inline constexpr ExportPolicy<int> setProperty{
    .frame = Frame::Export, .onException = 0,
    .standardText = "setProperty: --EXCEPTION caught grabberNo={grabberNo}, portNo={portNo}, property={property}, value={value}: {what}\n",
    .otherText = "setProperty: --EXCEPTION caught \n"};
inline constexpr ExportPolicy<int> getPropertyRange{
    .frame = Frame::Export, .onException = 0,
    .standardText = "getPropertyRange: --EXCEPTION caught grabberNo={grabberNo}, portNo={portNo}: {what}\n",
    .otherText = "getPropertyRange: --EXCEPTION caught \n"};
inline constexpr ExportPolicy<int> configureCamera{
    .frame = Frame::Export, .onException = 0,
    .standardText = "configureCamera: --EXCEPTION caught cameraName={cameraName}: {what}\n",
    .otherText = "configureCamera --EXCEPTION , cameraName={cameraName}\n",
    .afterException = "configureCamera: leaving cameraName={cameraName}\n"};
// clang-format on

}  // namespace policy

namespace export_frame {

inline constexpr std::string_view kNames[] = {"grabberNo", "portNo", "cameraName",
                                              "property",  "value",  "what"};

// Whether every {name} of a text is one that Report fills in.
consteval bool NamesKnown(const char* text) {
    if (text == nullptr) {
        return true;
    }
    const std::string_view rest(text);
    for (std::size_t open = rest.find('{'); open != std::string_view::npos;
         open = rest.find('{', open + 1)) {
        const std::size_t close = rest.find('}', open);
        if (close == std::string_view::npos) {
            return false;
        }
        bool known = false;
        for (const std::string_view name : kNames) {
            known = known || rest.substr(open + 1, close - open - 1) == name;
        }
        if (!known) {
            return false;
        }
    }
    return true;
}

template <typename Policy>
consteval bool TextsKnown(const Policy& policy) {
    return NamesKnown(policy.standardText) && NamesKnown(policy.otherText) &&
           NamesKnown(policy.afterException);
}

// Logs text at level, its names filled in; nothing for no text. Needs no
// memory: the exception may be that there is none.
void Report(DriverLog& log, int level, const char* text, const ExportArgs& args,
            const char* what) noexcept;

// Called inside a handler: reports the exception being handled and returns
// the policy's failure result.
template <const auto& policy>
auto Failed(DriverLog& log, const ExportArgs& args) noexcept {
    try {
        throw;
    } catch (const std::exception& error) {
        Report(log, 1, policy.standardText, args, error.what());
    } catch (...) {
        Report(log, 1, policy.otherText, args, nullptr);
    }
    Report(log, 2, policy.afterException, args, nullptr);
    if constexpr (requires { policy.onException; }) {
        return policy.onException;
    }
}

template <const auto& policy, typename Work>
std::invoke_result_t<Work&, DriverLog&> RunInFrame(DriverLog& log, const ExportArgs& args,
                                                   Work& work) noexcept REQUIRES(exportFrame) {
    try {
        return work(log);
    } catch (...) {
        return Failed<policy>(log, args);
    }
}

template <const auto& policy, typename Work>
std::invoke_result_t<Work&, DriverLog&> RunOutsideFrame(DriverLog& log, const ExportArgs& args,
                                                        Work& work) noexcept {
    try {
        return work(log);
    } catch (...) {
        return Failed<policy>(log, args);
    }
}

}  // namespace export_frame

// Runs an export's body as its policy says. A body that needs the export
// frame says so (REQUIRES(exportFrame)), and the analysis checks it against
// the policy.
template <const auto& policy, typename Work>
auto RunExport(const ExportArgs& args, Work&& work) noexcept EXCLUDES(exportFrame) {
    static_assert(export_frame::TextsKnown(policy), "an exception text names an unknown value");
    DriverLog& log = DriverLog::Instance();
    if constexpr (policy.frame == Frame::Export) {
        const ExportFrame frame;
        return export_frame::RunInFrame<policy>(log, args, work);
    } else {
        return export_frame::RunOutsideFrame<policy>(log, args, work);
    }
}
