#pragma once

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "ZUR.h"
#include "camera/Camera.h"
#include "camera/DriverError.h"
#include "log/DriverLog.h"
#include "platform/Mutex.h"
#include "platform/ZurLibrary.h"

// Which cameras exist and by what name: held only for lookups, never while
// ZUR is called and never together with a camera's lock.
extern platform::Mutex& registryLock;

// The registry of the cameras found at start-up: a process-wide singleton
// that owns one Camera per attached camera of a supported model and finds
// them by name and by host port. Exports share the cameras they find, so a
// finalize meanwhile only retires them. Any thread.
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
    static std::shared_ptr<CameraList> Current() EXCLUDES(registryLock);
    // Takes the registry away and retires every camera; the next Current
    // creates a new, empty one.
    static void ReleaseInstance() EXCLUDES(registryLock) REQUIRES(exportFrame);

    CameraList();
    ~CameraList();
    CameraList(const CameraList&) = delete;
    CameraList& operator=(const CameraList&) = delete;

    // Asks ZUR for the attached cameras and registers the supported ones.
    // True when at least one camera was registered. One at a time (the
    // driver's lifecycle lock).
    bool Init() EXCLUDES(registryLock) REQUIRES(exportFrame);
    bool IsCameraAvailable(const char* name) const EXCLUDES(registryLock);
    // Raises DriverError when no camera matches.
    std::shared_ptr<Camera> GetByName(const char* name) const EXCLUDES(registryLock);
    // A new array of the cameras' names ending with a null pointer; frees the
    // array of the previous call.
    char** GetConfigNames() EXCLUDES(registryLock);
    int Count() const EXCLUDES(registryLock);
    // Retires every camera and empties the registry.
    void Destroy() EXCLUDES(registryLock) REQUIRES(exportFrame);

    // Runs work on the camera of that name under its lock; DriverError when
    // there is none, or only a retired one.
    template <typename Work>
    auto WithCameraNamed(const char* name, Work&& work) const EXCLUDES(registryLock)
        REQUIRES(exportFrame) {
        const std::shared_ptr<Camera> found = GetByName(name);
        Camera& camera = *found;
        const platform::MutexLock hold(camera.cameraLock);
        if (camera.IsRetired()) {
            NotFoundByName(name);
        }
        // Called by name: clang 14's analysis maps the arguments of an
        // operator call one place off, and would miss the lock held here.
        return work.operator()(camera);
    }
    // Whether the work closes the camera: then it holds a Camera::CloseNotice
    // while it waits for the camera's lock.
    enum class Intent { Use, Close };

    // Runs work on the first camera open on the port, under its lock;
    // DriverError when none is. Only an open camera is on a port.
    template <typename Work>
    auto WithCameraOnPort(int portNo, Work&& work, Intent intent = Intent::Use) const
        EXCLUDES(registryLock) REQUIRES(exportFrame) {
        std::array<std::shared_ptr<Camera>, kMaxCameras> candidates;
        const std::size_t count = OnPort(portNo, candidates);
        for (std::size_t i = 0; i < count; ++i) {
            Camera& camera = *candidates[i];
            std::optional<Camera::CloseNotice> notice;
            if (intent == Intent::Close) {
                notice.emplace(camera);
            }
            const platform::MutexLock hold(camera.cameraLock);
            if (camera.IsOpen() && camera.Port() == portNo) {
                return work.operator()(camera);
            }
        }
        NotFoundOnPort(portNo);
    }

  private:
    std::shared_ptr<Camera> Register(const ZURCameraRecord& record) REQUIRES(exportFrame);
    void Add(const std::vector<std::shared_ptr<Camera>>& found) EXCLUDES(registryLock);
    // The camera of that name, or none.
    std::shared_ptr<Camera> Named(const char* name) const EXCLUDES(registryLock);
    // The cameras whose port is portNo as the lookup reads it, in registry
    // order.
    std::size_t OnPort(int portNo, std::array<std::shared_ptr<Camera>, kMaxCameras>& found) const
        EXCLUDES(registryLock);
    [[noreturn]] void NotFoundByName(const char* name) const;
    [[noreturn]] void NotFoundOnPort(int portNo) const;

    std::vector<std::shared_ptr<Camera>> cameras GUARDED_BY(registryLock);
    std::unique_ptr<char*[]> nameArray GUARDED_BY(registryLock);
    // Init's, which runs one at a time.
    ZURCameraList zurList = {};
    DriverLog& log;
    // Set by ReleaseInstance once it has logged the teardown, before it lets
    // go of its reference; the last reference's release orders it before the
    // destructor, on whichever thread that runs.
    bool tornDown = false;
};
