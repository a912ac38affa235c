#include "ui/SheetFrontEnd.h"

#include <utility>

#include "platform/Mutex.h"

namespace {

platform::Mutex factoryLock;

std::function<std::unique_ptr<SheetFrontEnd>()>& Factory() REQUIRES(factoryLock) {
    static std::function<std::unique_ptr<SheetFrontEnd>()> factory;
    return factory;
}

}  // namespace

std::unique_ptr<SheetFrontEnd> MakeSheetFrontEnd() {
    std::function<std::unique_ptr<SheetFrontEnd>()> factory;
    {
        const platform::MutexLock lock(factoryLock);
        factory = Factory();
    }
    return factory ? factory() : MakePlatformSheetFrontEnd();
}

void SetSheetFrontEndFactory(std::function<std::unique_ptr<SheetFrontEnd>()> factory) {
    const platform::MutexLock lock(factoryLock);
    Factory() = std::move(factory);
}
