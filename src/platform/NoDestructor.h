#pragma once

#include <new>
#include <utility>

namespace platform {

// Holds a T that is constructed on first use and never destroyed, for
// process-wide objects whose destruction at module unload would be unsafe.
template <typename T>
class NoDestructor {
  public:
    template <typename... Args>
    explicit NoDestructor(Args&&... args) {
        new (storage) T(std::forward<Args>(args)...);
    }
    NoDestructor(const NoDestructor&) = delete;
    NoDestructor& operator=(const NoDestructor&) = delete;

    T& operator*() { return *std::launder(reinterpret_cast<T*>(storage)); }
    T* operator->() { return &**this; }

  private:
    alignas(T) unsigned char storage[sizeof(T)];
};

}  // namespace platform
