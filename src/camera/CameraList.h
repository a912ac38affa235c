#pragma once

#include <memory>
#include <vector>

#include "ZUR.h"
#include "camera/Camera.h"
#include "log/DriverLog.h"

// The registry of the cameras found at start-up: a process-wide singleton
// that owns one Camera per attached camera of a supported model and finds
// them by name and by host port. Under the export lock.
class CameraList {
  public:
    static constexpr std::size_t kMaxCameras = 20;
    // Every model the driver supports; a model name is supported when it
    // occurs anywhere in this text.
    static constexpr const char* SupportedModels =
        "XCG-V60E XCG-SX97E XCG-SX99E XCG-U100E XCG-5005E XCG-H280E XCG-U100CR XCG-5005CR";

    // Whether a model name reported by ZUR names a supported model: it occurs
    // anywhere in SupportedModels (as hosts have always seen it), and it is
    // not empty (the empty text occurs in every text but names no camera).
    static bool IsSupportedModel(const std::string& model);

    // The registry, created empty on first use. Raises DriverError when it
    // cannot be created.
    static CameraList& GetInstance() REQUIRES(exportLock);
    // Destroys the registry with every camera; the next GetInstance creates
    // a new, empty one.
    static void ReleaseInstance() REQUIRES(exportLock);
    // The camera with this serial (Camera::Serial), when a registry exists
    // and still holds it; creates no registry.
    static Camera* FindSerial(std::uint64_t serial) REQUIRES(exportLock);

    CameraList();
    ~CameraList() REQUIRES(exportLock);
    CameraList(const CameraList&) = delete;
    CameraList& operator=(const CameraList&) = delete;

    // Asks ZUR for the attached cameras and registers the supported ones.
    // True when at least one camera was registered.
    bool Init() REQUIRES(exportLock);
    bool IsCameraAvailable(const char* name) const REQUIRES(exportLock);
    // Raise DriverError when no camera matches.
    Camera& GetByName(const char* name) const REQUIRES(exportLock);
    Camera& GetByPort(int portNo) const REQUIRES(exportLock);
    // A new array of the cameras' names ending with a null pointer; frees the
    // array of the previous call.
    char** GetConfigNames() REQUIRES(exportLock);
    int Count() const REQUIRES(exportLock) { return static_cast<int>(cameras.size()); }
    void Destroy() REQUIRES(exportLock);

  private:
    void Register(const ZURCameraRecord& record) REQUIRES(exportLock);

    std::vector<std::unique_ptr<Camera>> cameras GUARDED_BY(exportLock);
    std::unique_ptr<char*[]> nameArray GUARDED_BY(exportLock);
    ZURCameraList zurList GUARDED_BY(exportLock) = {};
    DriverLog& log;
};
