#include "camera/CameraList.h"

#include <cinttypes>
#include <cstring>
#include <new>
#include <string>

#include "camera/DriverError.h"
#include "platform/NoDestructor.h"

namespace {

// Never destroyed at module unload: closing cameras there would wait for
// their grab threads under the loader lock. The last finalize releases it.
std::unique_ptr<CameraList>& Instance() REQUIRES(exportLock) {
    static platform::NoDestructor<std::unique_ptr<CameraList>> instance;
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

}  // namespace

CameraList& CameraList::GetInstance() {
    std::unique_ptr<CameraList>& instance = Instance();
    if (!instance) {
        try {
            instance = std::make_unique<CameraList>();
        } catch (const std::bad_alloc&) {
            LogMessage(DriverLog::Instance(), 1,
                       "CameraList::GetInstance: ERROR: no valid instance\n");
            throw DriverError{};
        }
    }
    return *instance;
}

void CameraList::ReleaseInstance() {
    Instance().reset();
}

Camera* CameraList::FindSerial(std::uint64_t serial) {
    const std::unique_ptr<CameraList>& instance = Instance();
    if (!instance) {
        return nullptr;
    }
    for (const auto& camera : instance->cameras) {
        if (camera->Serial() == serial) {
            return camera.get();
        }
    }
    return nullptr;
}

bool CameraList::IsSupportedModel(const std::string& model) {
    return !model.empty() && std::strstr(SupportedModels, model.c_str()) != nullptr;
}

CameraList::CameraList() : log(DriverLog::Instance()) {
    cameras.reserve(kMaxCameras);
}

CameraList::~CameraList() {
    LogMessage(log, 2, "CameraList::~CameraList: entering\n");
    Destroy();
    LogMessage(log, 2, "CameraList::~CameraList: leaving\n");
}

bool CameraList::Init() {
    LogMessage(log, 2, "CameraList::Init: entering\n");
    const std::size_t registeredBefore = cameras.size();
    try {
        ZURSetStructVersion(210);
        zurList.count = 0;
        if (ZURGetList(&zurList) == 0 || zurList.count == 0) {
            LogMessage(log, 1, "CameraList::Init: no cameras found");
            return false;
        }
        if (zurList.count > kMaxCameras) {
            zurList.count = kMaxCameras;
        }
        const std::int32_t listed = ZURGetList(&zurList);
        LogMessage(log, 1, "CameraList::Init: Interface count: %d\n",
                   static_cast<int>(zurList.count));
        if (listed == 0) {
            LogMessage(log, 1, "WARNING: no camera interfaces found");
            return false;
        }
        const std::size_t count = std::min<std::size_t>(zurList.count, kMaxCameras);
        for (std::size_t i = 0; i < count; ++i) {
            Register(zurList.records[i]);
        }
    } catch (const std::exception& error) {
        const std::string text =
            std::string("CameraList::Init: ERROR: Failed to enumerate cameras: ") + error.what() +
            "\n";
        LogMessage(log, 1, "%s", text.c_str());
    }
    if (cameras.size() == registeredBefore) {
        LogMessage(log, 1, "CameraList::Init: WARNING: no supported cameras found\n");
        return false;
    }
    LogMessage(log, 2, "CameraList::Init: leaving\n");
    return true;
}

void CameraList::Register(const ZURCameraRecord& record) {
    const std::string model = ModelName(record);
    if (!IsSupportedModel(model)) {
        LogMessage(log, 1, "CameraList::camera %s is not supported.\n", model.c_str());
        return;
    }
    const std::uint64_t deviceId =
        (static_cast<std::uint64_t>(record.deviceIdHigh) << 32) | record.deviceIdLow;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "-%" PRId64, static_cast<std::int64_t>(deviceId));
    const std::string name = model + suffix;

    CameraModelInfo identity;
    identity.flags = FlagsOf(model);
    std::unique_ptr<Camera> camera;
    try {
        camera = std::make_unique<Camera>(name.c_str(), identity, record.deviceIdLow,
                                          record.deviceIdHigh);
    } catch (const std::bad_alloc&) {
        LogMessage(log, 1, "CameraList::Init:  ERROR: could not allocate Camera object\n");
        throw DriverError{};
    }
    LogMessage(log, 1, "* %s camera found: %s \n", camera->IsColor() ? "color" : "b/w",
               camera->Name().c_str());
    camera->SetProperty("LogLevel", 3);
    cameras.push_back(std::move(camera));
}

bool CameraList::IsCameraAvailable(const char* name) const {
    LogMessage(log, 3, "CameraList::IsCameraAvailable:  name=%s\n", TextOrNull(name));
    if (name == nullptr) {
        return false;
    }
    for (const auto& camera : cameras) {
        if (camera->Name() == name) {
            return true;
        }
    }
    return false;
}

Camera& CameraList::GetByName(const char* name) const {
    LogMessage(log, 3, "CameraList::GetByName: entering %s\n", TextOrNull(name));
    if (name != nullptr) {
        for (const auto& camera : cameras) {
            if (camera->Name() == name) {
                LogMessage(log, 3, "CameraList::GetByName: leaving %s\n", name);
                return *camera;
            }
        }
    }
    LogMessage(log, 1, "CameraList::GetByName: ERROR: could not find camera %s\n",
               TextOrNull(name));
    throw DriverError{};
}

Camera& CameraList::GetByPort(int portNo) const {
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        Camera* camera = cameras[i].get();
        if (camera == nullptr) {
            LogMessage(log, 1,
                       "CameraList::GetByPort: ERROR: vector contains null pointer at index %d\n",
                       static_cast<int>(i));
            throw DriverError{};
        }
        // Only an open camera is on a port.
        if (camera->IsOpen() && camera->Port() == portNo) {
            return *camera;
        }
    }
    LogMessage(log, 1, "CameraList::GetByPort: ERROR: could not find camera on port %d\n", portNo);
    throw DriverError{};
}

char** CameraList::GetConfigNames() {
    nameArray.reset();
    auto names = std::make_unique<char*[]>(cameras.size() + 1);
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        // The interface hands out mutable pointers; hosts only read them.
        names[i] = const_cast<char*>(cameras[i]->Name().c_str());
    }
    nameArray = std::move(names);
    return nameArray.get();
}

void CameraList::Destroy() {
    LogMessage(log, 2, "CameraList::Destroy: entering\n");
    for (auto& camera : cameras) {
        camera.reset();
    }
    cameras.clear();
    nameArray.reset();
    Camera::CloseRefusedHandles();
    LogMessage(log, 2, "CameraList::Destroy: leaving\n");
}
