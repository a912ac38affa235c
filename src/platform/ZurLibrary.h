#pragma once

// The ZUR library, loaded at run time and bound function by function: the
// camera maker's ZUR.dll may export its functions undecorated or decorated
// (_ZUROpen@12) and use __cdecl or __stdcall, and a library that is missing
// or short must leave the driver loadable, with no camera, rather than stop
// the host from loading it. The camera layer calls ZUR only through Zur().

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ZUR.h"

// The 24 ZUR functions the driver calls, with their prototypes as ZUR.h
// declares them.
#define ZAVADED_ZUR_FUNCTIONS(X)                                                      \
    X(int32_t, ZURSetStructVersion, (uint32_t))                                       \
    X(int32_t, ZURGetList, (ZURCameraList*))                                          \
    X(int32_t, ZUROpen, (uint64_t, uint32_t*))                                        \
    X(int32_t, ZURClose, (uint32_t))                                                  \
    X(int32_t, ZURGigESetRegister, (uint32_t, ZURRegisterRecord*))                    \
    X(int32_t, ZURGigEGetRegister, (uint32_t, ZURRegisterRecord*))                    \
    X(int32_t, ZURSetImageInfo, (uint32_t, ZURImagePosition*))                        \
    X(int32_t, ZURGetImageInfo, (uint32_t, ZURImageInfo*))                            \
    X(int32_t, ZURNowCameraMode, (uint32_t, ZURCameraMode*))                          \
    X(int32_t, ZURSetCameraMode, (uint32_t, ZURCameraMode*))                          \
    X(int32_t, ZURBandAdjust, (uint32_t, int32_t, int32_t))                           \
    X(int32_t, ZURGetDataDepth, (uint32_t, uint32_t*))                                \
    X(int32_t, ZURCreateConvHandle, (uint32_t*, int32_t, int32_t, int32_t))           \
    X(int32_t, ZURColorConvSetBMPINFO, (uint32_t, int32_t, int32_t, BITMAPINFO*))     \
    X(int32_t, ZURColorConvExec,                                                      \
      (uint32_t, int32_t, int32_t, ZURColorConvMode*, const void*, void*))            \
    X(int32_t, ZURCloseConvHandle, (uint32_t))                                        \
    X(int32_t, ZURIsoAlloc, (uint32_t))                                               \
    X(int32_t, ZURIsoStart, (uint32_t, uint32_t))                                     \
    X(int32_t, ZURIsoStop, (uint32_t))                                                \
    X(int32_t, ZURIsoRelease, (uint32_t))                                             \
    X(int32_t, ZURImageReq, (uint32_t, void*, uint32_t))                              \
    X(int32_t, ZURImageCompleteWait, (uint32_t, void*, uint32_t, uint32_t, uint32_t)) \
    X(int32_t, ZURAbortImageReqAll, (uint32_t))                                       \
    X(uint32_t, ZURGetLastError, ())

namespace platform {

// Only 32-bit x86 has two calling conventions; elsewhere both are the one.
#if defined(_WIN32) && defined(__i386__)
#define ZAVADED_ZUR_TWO_CONVENTIONS 1
#define ZAVADED_STDCALL __attribute__((stdcall))
#else
#define ZAVADED_ZUR_TWO_CONVENTIONS 0
#define ZAVADED_STDCALL
#endif

enum class ZurConvention { Cdecl, Stdcall };

const char* ZurConventionName(ZurConvention convention);

// One ZUR function: called as the convention it was bound with. Unbound, it
// fails as ZUR does (0), without calling anything.
template <typename Signature>
class ZurFunction;

template <typename Result, typename... Arguments>
class ZurFunction<Result(Arguments...)> {
  public:
    using Cdecl = Result (*)(Arguments...);
    using Stdcall = Result(ZAVADED_STDCALL*)(Arguments...);

    // What a __stdcall callee removes from the stack: N of _Name@N.
    static constexpr std::size_t kArgumentBytes = (0 + ... + ((sizeof(Arguments) + 3) / 4 * 4));

    Result operator()(Arguments... arguments) const {
        if (stdcallCall != nullptr) {
            return stdcallCall(arguments...);
        }
        return cdeclCall(arguments...);
    }

    void Bind(void (*address)(), ZurConvention convention) {
        cdeclCall = &Unbound;
        stdcallCall = nullptr;
        if (convention == ZurConvention::Stdcall && ZAVADED_ZUR_TWO_CONVENTIONS) {
            stdcallCall = reinterpret_cast<Stdcall>(address);
        } else {
            cdeclCall = reinterpret_cast<Cdecl>(address);
        }
    }

  private:
    static Result Unbound(Arguments...) { return Result{}; }

    Cdecl cdeclCall = &Unbound;
    Stdcall stdcallCall = nullptr;
};

// Every function of ZUR the driver calls. A table is made whole or not at
// all, and never changes once published.
struct ZurFunctions {
#define ZAVADED_ZUR_MEMBER(result, name, arguments) ZurFunction<result arguments> name;
    ZAVADED_ZUR_FUNCTIONS(ZAVADED_ZUR_MEMBER)
#undef ZAVADED_ZUR_MEMBER
};

// The table in use: the bound library's, or one whose every call fails.
// Any thread.
const ZurFunctions& Zur();

// Where the ZUR library comes from and how its undecorated names are called.
struct ZurChoice {
    // "sim", "gige" or a path; empty: the default, the simulated library on
    // Linux and ZUR.dll beside the driver on Windows.
    std::string library;
    // Who made the choice, for the messages: "ZAVADED_ZUR", a file, "default".
    std::string source = "default";
    // For undecorated names (decorated ones are always __stdcall).
    ZurConvention convention = ZurConvention::Cdecl;
    std::string conventionSource = "default";
    // The library came from the environment of a program that runs with
    // raised privileges (capabilities, set-user-ID): only the driver's own
    // libraries are taken then, never an arbitrary path.
    bool secure = false;
};

// The choice of this process: ZAVADED_ZUR and ZAVADED_ZUR_CALL from the
// environment, else the lines ZUR= and ZUR_CALL= of the configuration file
// (on Linux /etc/zavaded/zavaded.conf), else the defaults. Errors in the
// settings themselves are added to errors.
ZurChoice ChooseZur(const std::string& configurationFile, std::vector<std::string>& errors);
// The system-wide configuration file ("" where there is none).
std::string ZurConfigurationFile();

struct ZurBinding {
    bool bound = false;
    std::string path;  // the library loaded, or the one that could not be
    // For the log: "simulated" or "" (real cameras), and how it is called.
    bool simulated = false;
    bool decorated = false;
    ZurConvention convention = ZurConvention::Cdecl;
    // Why there is no ZUR: the library cannot be loaded, lacks functions,
    // or is called by the wrong convention.
    std::string error;
    std::vector<std::string> missing;
};

// Loads the chosen library, binds all 24 functions and, as ZUR's first
// call, ZURSetStructVersion(structVersion): where there are two calling
// conventions that call checks the stack afterwards, so a library called
// by the wrong one is told, not suffered. Publishes the table for Zur();
// on any failure the table whose every call fails. A library once loaded
// stays: a grab thread given up on at close may still be inside it. One
// thread at a time (the first initialize).
ZurBinding BindZur(const ZurChoice& choice, uint32_t structVersion);
// Publishes the table whose every call fails.
void UnbindZur();

// The folder of the module this code is linked into (the driver, or a test
// program that holds it), with its final separator.
std::string ModuleFolder();

}  // namespace platform
