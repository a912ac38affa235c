#include "platform/CriticalSection.h"

namespace platform {

#ifdef _WIN32
CriticalSection::CriticalSection() {
    InitializeCriticalSection(&section);
}
CriticalSection::~CriticalSection() {
    DeleteCriticalSection(&section);
}
void CriticalSection::lock() {
    EnterCriticalSection(&section);
}
void CriticalSection::unlock() {
    LeaveCriticalSection(&section);
}
#else
CriticalSection::CriticalSection() = default;
CriticalSection::~CriticalSection() = default;
void CriticalSection::lock() {
    mutex.lock();
}
void CriticalSection::unlock() {
    mutex.unlock();
}
#endif

}  // namespace platform
