#include "camera/CameraList.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <new>
#include <string>

#include "camera/DriverError.h"
#include "platform/NoDestructor.h"

namespace {

// Never destroyed: a grab thread of a host that exits without finalize may
// still call an export from its callback.
platform::NoDestructor<platform::Mutex> registryMutex;

}  // namespace

platform::Mutex& registryLock = *registryMutex;

namespace {

// Never destroyed at module unload: closing cameras there would wait for
// their grab threads under the loader lock. The last finalize releases it.
std::shared_ptr<CameraList>& Instance() REQUIRES(registryLock) {
    static platform::NoDestructor<std::shared_ptr<CameraList>> instance;
    return *instance;
}

// The model name of a record, read no further than its field.
std::string ModelName(const ZURCameraRecord& record) {
    const char* text = record.modelName;
    return std::string(text, strnlen(text, sizeof record.modelName));
}

std::uint32_t FlagsOf(const std::string& model) {
    if (model.find("CR") != std::string::npos) {
        return ModelColor;
    }
    return model.find("H280") != std::string::npos ? (ModelMono | ModelH280) : ModelMono;
}

// Loads the chosen ZUR library and says at level 1 which it is, so that a log
// always shows whether the cameras are real; without one there is no camera,
// never a fall-back to another library.
bool BindZur(DriverLog& log) {
    std::vector<std::string> errors;
    const platform::ZurChoice choice =
        platform::ChooseZur(platform::ZurConfigurationFile(), errors);
    platform::ZurBinding binding;
    if (errors.empty()) {
        binding = platform::BindZur(choice, 210);
        if (!binding.bound) {
            errors.push_back(binding.error);
        }
    } else {
        platform::UnbindZur();
    }
    for (const std::string& error : errors) {
        LogMessage(log, 1, "CameraList::Init: ERROR: ZUR: %s; no cameras\n", error.c_str());
    }
    if (!binding.bound) {
        return false;
    }
    const std::string chosenBy =
        choice.library.empty() ? choice.source : choice.source + "=" + choice.library;
#if ZAVADED_ZUR_TWO_CONVENTIONS
    LogMessage(log, 1, "CameraList::Init: ZUR library %s, %s %s names%s (chosen by %s)\n",
               binding.path.c_str(), binding.decorated ? "decorated" : "undecorated",
               platform::ZurConventionName(binding.convention),
               binding.simulated ? ": simulated cameras" : "", chosenBy.c_str());
#else
    LogMessage(log, 1, "CameraList::Init: ZUR library %s%s (chosen by %s)\n", binding.path.c_str(),
               binding.simulated ? ": simulated cameras" : "", chosenBy.c_str());
#endif
    return true;
}

}  // namespace

std::shared_ptr<CameraList> CameraList::Current() {
    const platform::MutexLock hold(registryLock);
    std::shared_ptr<CameraList>& instance = Instance();
    if (!instance) {
        try {
            instance = std::make_shared<CameraList>();
        } catch (const std::bad_alloc&) {
            LogMessage(DriverLog::Instance(), 1,
                       "CameraList::GetInstance: ERROR: no valid instance\n");
            throw DriverError{};
        }
    }
    return instance;
}

void CameraList::ReleaseInstance() {
    std::shared_ptr<CameraList> released;
    {
        const platform::MutexLock hold(registryLock);
        released = std::move(Instance());
    }
    // The teardown is logged as the destructor's, around Destroy. It happens
    // here rather than in the destructor: an export may still hold the
    // registry for a moment, and the cameras must be closed before the last
    // finalize returns.
    if (released) {
        LogMessage(released->log, 2, "CameraList::~CameraList: entering\n");
        released->Destroy();
        LogMessage(released->log, 2, "CameraList::~CameraList: leaving\n");
        released->tornDown = true;
    }
}

bool CameraList::IsSupportedModel(const std::string& model) {
    return !model.empty() && std::strstr(SupportedModels, model.c_str()) != nullptr;
}

CameraList::CameraList() : log(DriverLog::Instance()) {}

CameraList::~CameraList() {
    if (!tornDown) {
        LogMessage(log, 2, "CameraList::~CameraList: entering\n");
        LogMessage(log, 2, "CameraList::~CameraList: leaving\n");
    }
}

bool CameraList::Init() {
    LogMessage(log, 2, "CameraList::Init: entering\n");
    // Made without the registry lock, which ZUR's enumeration must not hold
    // up; shown to lookups all at once.
    std::vector<std::shared_ptr<Camera>> found;
    try {
        // Binding makes ZURSetStructVersion(210) ZUR's first call.
        if (!BindZur(log)) {
            return false;
        }
        zurList.count = 0;
        if (platform::Zur().ZURGetList(&zurList) == 0 || zurList.count == 0) {
            LogMessage(log, 1, "CameraList::Init: no cameras found");
            return false;
        }
        if (zurList.count > kMaxCameras) {
            zurList.count = kMaxCameras;
        }
        const std::int32_t listed = platform::Zur().ZURGetList(&zurList);
        LogMessage(log, 1, "CameraList::Init: Interface count: %d\n",
                   static_cast<int>(zurList.count));
        if (listed == 0) {
            LogMessage(log, 1, "WARNING: no camera interfaces found");
            return false;
        }
        const std::size_t count = std::min<std::size_t>(zurList.count, kMaxCameras);
        found.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            if (std::shared_ptr<Camera> camera = Register(zurList.records[i])) {
                found.push_back(std::move(camera));
            }
        }
    } catch (const std::exception& error) {
        const std::string text =
            std::string("CameraList::Init: ERROR: Failed to enumerate cameras: ") + error.what() +
            "\n";
        LogMessage(log, 1, "%s", text.c_str());
    } catch (const DriverError&) {
        // A camera that could not be made: those made before it are kept.
        Add(found);
        throw;
    }
    if (found.empty()) {
        LogMessage(log, 1, "CameraList::Init: WARNING: no supported cameras found\n");
        return false;
    }
    Add(found);
    LogMessage(log, 2, "CameraList::Init: leaving\n");
    return true;
}

void CameraList::Add(const std::vector<std::shared_ptr<Camera>>& found) {
    const platform::MutexLock hold(registryLock);
    cameras.insert(cameras.end(), found.begin(), found.end());
}

std::shared_ptr<Camera> CameraList::Register(const ZURCameraRecord& record) {
    const std::string model = ModelName(record);
    if (!IsSupportedModel(model)) {
        LogMessage(log, 1, "CameraList::camera %s is not supported.\n", model.c_str());
        return nullptr;
    }
    const std::uint64_t deviceId =
        (static_cast<std::uint64_t>(record.deviceIdHigh) << 32) | record.deviceIdLow;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "-%" PRId64, static_cast<std::int64_t>(deviceId));
    const std::string name = model + suffix;

    CameraModelInfo identity;
    identity.flags = FlagsOf(model);
    std::shared_ptr<Camera> camera;
    try {
        camera = std::make_shared<Camera>(name.c_str(), identity, record.deviceIdLow,
                                          record.deviceIdHigh);
    } catch (const std::bad_alloc&) {
        LogMessage(log, 1, "CameraList::Init:  ERROR: could not allocate Camera object\n");
        throw DriverError{};
    }
    LogMessage(log, 1, "* %s camera found: %s \n", camera->IsColor() ? "color" : "b/w",
               camera->Name().c_str());
    const platform::MutexLock hold(camera->cameraLock);
    camera->SetProperty("LogLevel", 3);
    return camera;
}

bool CameraList::IsCameraAvailable(const char* name) const {
    LogMessage(log, 3, "CameraList::IsCameraAvailable:  name=%s\n", TextOrNull(name));
    return Named(name) != nullptr;
}

std::shared_ptr<Camera> CameraList::GetByName(const char* name) const {
    LogMessage(log, 3, "CameraList::GetByName: entering %s\n", TextOrNull(name));
    std::shared_ptr<Camera> found = Named(name);
    if (!found) {
        NotFoundByName(name);
    }
    LogMessage(log, 3, "CameraList::GetByName: leaving %s\n", name);
    return found;
}

std::shared_ptr<Camera> CameraList::Named(const char* name) const {
    if (name == nullptr) {
        return nullptr;
    }
    const platform::MutexLock hold(registryLock);
    for (const auto& camera : cameras) {
        if (camera->Name() == name) {
            return camera;
        }
    }
    return nullptr;
}

std::size_t CameraList::OnPort(int portNo,
                               std::array<std::shared_ptr<Camera>, kMaxCameras>& found) const {
    std::size_t count = 0;
    const platform::MutexLock hold(registryLock);
    for (const auto& camera : cameras) {
        if (count < found.size() && camera->Port() == portNo) {
            found[count++] = camera;
        }
    }
    return count;
}

void CameraList::NotFoundByName(const char* name) const {
    LogMessage(log, 1, "CameraList::GetByName: ERROR: could not find camera %s\n",
               TextOrNull(name));
    throw DriverError{};
}

void CameraList::NotFoundOnPort(int portNo) const {
    LogMessage(log, 1, "CameraList::GetByPort: ERROR: could not find camera on port %d\n", portNo);
    throw DriverError{};
}

char** CameraList::GetConfigNames() {
    const platform::MutexLock hold(registryLock);
    nameArray.reset();
    auto names = std::make_unique<char*[]>(cameras.size() + 1);
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        // The interface hands out mutable pointers; hosts only read them.
        names[i] = const_cast<char*>(cameras[i]->Name().c_str());
    }
    nameArray = std::move(names);
    return nameArray.get();
}

int CameraList::Count() const {
    const platform::MutexLock hold(registryLock);
    return static_cast<int>(cameras.size());
}

void CameraList::Destroy() {
    LogMessage(log, 2, "CameraList::Destroy: entering\n");
    std::vector<std::shared_ptr<Camera>> retiring;
    {
        const platform::MutexLock hold(registryLock);
        retiring.swap(cameras);
        nameArray.reset();
    }
    // One camera at a time, each under its own lock: an export still at
    // work on one finishes first, and finds it retired afterwards.
    for (const auto& camera : retiring) {
        const Camera::CloseNotice notice(*camera);
        const platform::MutexLock hold(camera->cameraLock);
        camera->Retire();
    }
    retiring.clear();
    Camera::CloseRefusedHandles();
    LogMessage(log, 2, "CameraList::Destroy: leaving\n");
}
