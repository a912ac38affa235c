#pragma once

#include <string>

#include "ZavaDED.h"

// The driver as a host sees it: a library loaded at run time whose exports
// are looked up by name. Exports the library lacks stay null.
class DriverLibrary {
  public:
    // Loads the library at path; throws std::runtime_error when it cannot.
    explicit DriverLibrary(const std::string& path);
    ~DriverLibrary();
    DriverLibrary(const DriverLibrary&) = delete;
    DriverLibrary& operator=(const DriverLibrary&) = delete;

    // The driver library in the folder of the running program or, for an
    // installed program, in the library folder of its installation.
    static std::string DefaultPath();
    // Chooses the ZUR library the driver binds at its first initialize:
    // "sim", "gige" (Linux) or a path, through the driver's own setting
    // ZAVADED_ZUR in this process's environment.
    static void ChooseZur(const std::string& library);

    decltype(&::initialize) initialize = nullptr;
    decltype(&::finalize) finalize = nullptr;
    decltype(&::setSystemPath) setSystemPath = nullptr;
    decltype(&::setDebugMsgProc) setDebugMsgProc = nullptr;
    decltype(&::getCVLMaxNoOfGrabbers) getCVLMaxNoOfGrabbers = nullptr;
    decltype(&::getCVLMaxNoOfPorts) getCVLMaxNoOfPorts = nullptr;
    decltype(&::getCVLNoOfSupportedCameras) getCVLNoOfSupportedCameras = nullptr;
    decltype(&::getCVLCameraConfigNames) getCVLCameraConfigNames = nullptr;
    decltype(&::openCVLPort) openCVLPort = nullptr;
    decltype(&::closeCVLPort) closeCVLPort = nullptr;
    decltype(&::doCVLGrab) doCVLGrab = nullptr;
    decltype(&::getCVLGrabRow) getCVLGrabRow = nullptr;
    decltype(&::setCompleteCallback) setCompleteCallback = nullptr;
    decltype(&::getProperty) getProperty = nullptr;
    decltype(&::setProperty) setProperty = nullptr;
    decltype(&::getPropertyRange) getPropertyRange = nullptr;
    decltype(&::configureCamera) configureCamera = nullptr;

  private:
    void* Find(const char* name) const;
    template <typename Function>
    void Bind(Function& function, const char* name) {
        function = reinterpret_cast<Function>(Find(name));
    }

    void* handle = nullptr;
};
