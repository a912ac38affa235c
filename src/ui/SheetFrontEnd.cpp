#include "ui/SheetFrontEnd.h"

#include <mutex>
#include <utility>

namespace {

std::mutex factoryLock;

std::function<std::unique_ptr<SheetFrontEnd>()>& Factory() {
    static std::function<std::unique_ptr<SheetFrontEnd>()> factory;
    return factory;
}

}  // namespace

std::unique_ptr<SheetFrontEnd> MakeSheetFrontEnd() {
    std::function<std::unique_ptr<SheetFrontEnd>()> factory;
    {
        std::lock_guard<std::mutex> lock(factoryLock);
        factory = Factory();
    }
    return factory ? factory() : MakePlatformSheetFrontEnd();
}

void SetSheetFrontEndFactory(std::function<std::unique_ptr<SheetFrontEnd>()> factory) {
    std::lock_guard<std::mutex> lock(factoryLock);
    Factory() = std::move(factory);
}
