#include "DriverLibrary.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#endif

DriverLibrary::DriverLibrary(const std::string& path) {
#ifdef _WIN32
    handle = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
    if (handle == nullptr) {
        throw std::runtime_error("cannot load " + path + " (error " +
                                 std::to_string(GetLastError()) + ")");
    }
#else
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        throw std::runtime_error("cannot load " + path + ": " + (reason ? reason : "unknown"));
    }
#endif
    Bind(initialize, "initialize");
    Bind(finalize, "finalize");
    Bind(setSystemPath, "setSystemPath");
    Bind(setDebugMsgProc, "setDebugMsgProc");
    Bind(getCVLMaxNoOfGrabbers, "getCVLMaxNoOfGrabbers");
    Bind(getCVLMaxNoOfPorts, "getCVLMaxNoOfPorts");
    Bind(getCVLNoOfSupportedCameras, "getCVLNoOfSupportedCameras");
    Bind(getCVLCameraConfigNames, "getCVLCameraConfigNames");
    Bind(openCVLPort, "openCVLPort");
    Bind(closeCVLPort, "closeCVLPort");
    Bind(doCVLGrab, "doCVLGrab");
    Bind(getCVLGrabRow, "getCVLGrabRow");
    Bind(setCompleteCallback, "setCompleteCallback");
    Bind(getProperty, "getProperty");
    Bind(setProperty, "setProperty");
    Bind(getPropertyRange, "getPropertyRange");
    Bind(configureCamera, "configureCamera");
}

DriverLibrary::~DriverLibrary() {
#ifdef _WIN32
    FreeLibrary(reinterpret_cast<HMODULE>(handle));
#else
    dlclose(handle);
#endif
}

void* DriverLibrary::Find(const char* name) const {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle), name));
#else
    return dlsym(handle, name);
#endif
}

std::string DriverLibrary::DefaultPath() {
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    folder.erase(folder.find_last_of("\\/") + 1);
    return folder + "ZavaDED.dll";
#else
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    std::string folder(path, length > 0 ? static_cast<std::size_t>(length) : 0);
    folder.erase(folder.find_last_of('/') + 1);
    const std::string beside = folder + "libZavaDED.so";
#ifdef ZAVADED_INSTALLED_LIBDIR
    // Installed: bin/ and lib/ of one prefix, wherever it is.
    if (!std::filesystem::exists(beside)) {
        return folder + ZAVADED_INSTALLED_LIBDIR "/libZavaDED.so";
    }
#endif
    return beside;
#endif
}

void DriverLibrary::ChooseZur(const std::string& library) {
#ifdef _WIN32
    const bool set = _putenv_s("ZAVADED_ZUR", library.c_str()) == 0;
#else
    const bool set = setenv("ZAVADED_ZUR", library.c_str(), 1) == 0;
#endif
    if (!set) {
        throw std::runtime_error("cannot set ZAVADED_ZUR=" + library);
    }
}
