#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/ThreadAnnotations.h"

namespace platform {

// A mutex that the thread-safety analysis knows: libstdc++'s std::mutex
// carries no attributes. Not recursive.
class CAPABILITY("mutex") Mutex {
  public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() ACQUIRE() { mutex.lock(); }
    void unlock() RELEASE() { mutex.unlock(); }
    bool try_lock() TRY_ACQUIRE(true) { return mutex.try_lock(); }

  private:
    friend class MutexLock;
    std::mutex mutex;
};

// Holds a Mutex for its scope. While it waits on a condition variable it lets
// go of the mutex, and holds it again when the wait returns.
class SCOPED_CAPABILITY MutexLock {
  public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : lock(mutex.mutex) {}
    ~MutexLock() RELEASE() {}
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    template <typename Ready>
    void Wait(std::condition_variable& condition, Ready ready) {
        condition.wait(lock, ready);
    }
    // False when ready() is still false after the timeout.
    template <typename Ready>
    bool WaitFor(std::condition_variable& condition, std::chrono::milliseconds timeout,
                 Ready ready) {
        return condition.wait_for(lock, timeout, ready);
    }

  private:
    std::unique_lock<std::mutex> lock;
};

}  // namespace platform
