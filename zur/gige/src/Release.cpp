#include "Release.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/NoDestructor.h"

namespace zurgige {
namespace {

class Releaser {
  public:
    void Post(Remains remains) {
        const std::lock_guard<std::mutex> lock(mutex);
        queue.push_back(std::move(remains));
        if (!worker.joinable()) {
            worker = std::thread([this] { Run(); });
        }
        posted.notify_one();
    }

  private:
    void Run() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            posted.wait(lock, [this] { return !queue.empty(); });
            Remains remains = std::move(queue.front());
            queue.pop_front();
            lock.unlock();
            remains.stream.reset();  // holds a reference to the device
            remains.device.reset();
            remains.loss.reset();
            lock.lock();
        }
    }

    std::mutex mutex;
    std::condition_variable posted;
    std::deque<Remains> queue;
    std::thread worker;
};

Releaser& TheReleaser() {
    // Never destroyed: the thread may be inside a release when the process
    // exits, and this library is never unloaded (linked with -z nodelete).
    static platform::NoDestructor<Releaser> releaser;
    return *releaser;
}

}  // namespace

void ReleaseInBackground(Remains remains) {
    TheReleaser().Post(std::move(remains));
}

}  // namespace zurgige
