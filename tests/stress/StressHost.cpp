// A randomized host that drives the seventeen exports the way careless hosts
// and flaky networks do: several threads, nested and unmatched
// initialize/finalize, unusable system paths and corrupt INI files, bad ports
// and rows and names, callbacks that block, re-enter, close and finalize,
// simulator faults at random ZUR calls, cameras unplugged and plugged in again.
//
// It checks what a host can see: no crash and no hang (a watchdog), every
// close within its bound, no completion callback for a port after its close
// returned, no row copied beyond the host's buffer, rows equal to the image
// the simulator delivered, and no ZUR handle left after the last finalize.
// Sanitizer builds add their own checks.
//
//   stress_host [--seeds 1,2,3] [--calls N] [--seconds S] [--threads K]
//               [--exit-without-finalize] [--verbose]
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <shared_mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FakeSheet.h"
#include "TempDir.h"
#include "ZURSim.h"
#include "ZavaDED.h"
#include "camera/GrabThread.h"
#include "log/DriverLog.h"
#include "platform/NoDestructor.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A close waits for its grab thread at most this long; sanitizers and a busy
// machine get a margin on top.
constexpr auto kCloseBound = std::chrono::milliseconds(GrabThread::kStopTimeoutMs) + 2500ms;
constexpr int kGuard = 64;  // canary bytes on each side of a row buffer
constexpr std::uint8_t kCanary = 0xA5;

struct Options {
    std::vector<unsigned> seeds = {1};
    int calls = 400;
    int seconds = 8;
    int threads = 0;  // 0: two to four, from the seed
    bool exitWithoutFinalize = false;
    bool verbose = false;
};

// ---- what went wrong -------------------------------------------------------

std::atomic<int> violations{0};
std::mutex reportLock;

void Violation(const char* format, ...) ZAVADED_PRINTF(1, 2);
void Violation(const char* format, ...) {
    std::lock_guard<std::mutex> lock(reportLock);
    std::fputs("VIOLATION: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    violations.fetch_add(1);
}

// ---- the host's view of its ports -----------------------------------------

constexpr std::array<int, 29> kPorts = {0,  1,  2,  3,  4,  5,     6,       7,       8,      9,
                                        10, 11, 12, 13, 14, 15,    16,      17,      18,     19,
                                        -1, -2, 20, 21, 99, -1000, 1 << 20, INT_MAX, INT_MIN};

// What the host knows of one port. A completion callback for the port is a
// fault once a close of it has returned and no open of it has begun since.
struct PortBook {
    std::atomic<std::uint64_t> opens{0};
    std::atomic<int> busy{0};                            // opens and closes of the port in flight
    std::atomic<std::uint64_t> closedAfter{UINT64_MAX};  // opens count at the last close
    std::atomic<std::uint64_t> device{0};
    std::atomic<int> width{0};
    std::atomic<int> height{0};
    std::atomic<bool> color{false};
};
// Built before the threads start, never changed while they run, never
// destroyed: a grab thread given up on may still call back at exit.
std::map<int, PortBook>& Books() {
    static platform::NoDestructor<std::map<int, PortBook>> books;
    return *books;
}

struct CameraInfo {
    std::string name;
    std::uint64_t id;
    bool color;
};
std::vector<CameraInfo> cameras;    // as the simulator attached them
std::atomic<bool> finished{false};  // the final finalize has returned

thread_local bool hostThread = false;
thread_local std::mt19937 callbackRandom{12345};

PortBook* BookOf(int port) {
    const auto found = Books().find(port);
    return found == Books().end() ? nullptr : &found->second;
}

// The name array of getCVLCameraConfigNames lives until the next call or the
// last finalize: the host reads it under this lock, which finalize shares.
std::shared_mutex namesLock;

// Closes and finalizes in flight, and how many have begun. A callback that
// began before another thread's close may still be on its way when a later
// close of the port returns: only a close that overlapped no other is a
// promise that the port calls back no more.
std::atomic<int> closesInFlight{0};
std::atomic<std::uint64_t> closesBegun{0};

// Set while the thread is in a timed close or finalize: the host's own sink
// does not block then, since the bound is on the driver's time, not on the
// time the host's code spends on the same thread (and a finalize holds
// namesLock meanwhile).
thread_local bool inTimedCall = false;

std::chrono::milliseconds Closing(void (*close)(int), int port) {
    struct Timed {
        Timed() { inTimedCall = true; }
        ~Timed() { inTimedCall = false; }
    } timed;
    const bool alone = closesInFlight.fetch_add(1) == 0;
    const std::uint64_t begun = closesBegun.fetch_add(1) + 1;
    PortBook* book = BookOf(port);
    const std::uint64_t opensBefore = book != nullptr ? book->opens.load() : 0;
    // An open counts itself before it calls openCVLPort: one counted but
    // not yet called may open the port after this close returns.
    const bool portAlone = book != nullptr && book->busy.fetch_add(1) == 0;
    const auto started = Clock::now();
    close(port);
    if (book != nullptr) {
        book->busy.fetch_sub(1);
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    const bool stillAlone = closesBegun.load() == begun;
    closesInFlight.fetch_sub(1);
    if (alone && stillAlone && portAlone && book->opens.load() == opensBefore) {
        book->closedAfter.store(opensBefore);
    }
    return took;
}

void TimedClose(int port) {
    const auto took = Closing([](int p) { closeCVLPort(0, p); }, port);
    if (took > kCloseBound) {
        Violation("closeCVLPort(%d) took %lld ms", port, static_cast<long long>(took.count()));
    }
}

void TimedFinalize() {
    // Every camera's thread is waited for against one deadline.
    const std::shared_lock<std::shared_mutex> names(namesLock);
    const auto took = Closing([](int) { finalize(); }, INT_MIN + 1);
    if (took > kCloseBound) {
        Violation("finalize took %lld ms", static_cast<long long>(took.count()));
    }
}

// ---- callbacks --------------------------------------------------------------

std::atomic<long> completions{0};
std::atomic<long> opensSucceeded{0};
std::atomic<long> granted{0};
std::atomic<long> imagesCompared{0};
std::atomic<int> messageBlockMs{0};
std::atomic<int> completionBlockMs{0};
std::atomic<bool> releaseCallbacks{false};

void SleepUnlessReleased(int milliseconds) {
    const auto until = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (!releaseCallbacks.load() && Clock::now() < until) {
        std::this_thread::sleep_for(5ms);
    }
}

// The row the host reads from inside the callback equals the image the
// simulator just delivered; the copy stays inside the host's buffer.
void CheckImage(int port, PortBook& book) {
    const int width = book.width.load();
    const int height = book.height.load();
    const std::uint64_t device = book.device.load();
    if (width <= 0 || height <= 0 || book.color.load()) {
        return;
    }
    const int row = static_cast<int>(callbackRandom() % static_cast<unsigned>(height));
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(width) + 2 * kGuard, kCanary);
    // Another host thread may close the port, or finalize, and open the
    // camera again, on this port or another, while this one reads and
    // compares: then the simulator's last image is of that other open.
    const std::uint64_t opens = book.opens.load();
    const std::uint64_t closes = closesBegun.load();
    const bool quiet = book.busy.load() == 0 && closesInFlight.load() == 0;
    if (getCVLGrabRow(0, port, buffer.data() + kGuard, row, 0, width - 1) != 1 || !quiet) {
        return;
    }
    for (int i = 0; i < kGuard; ++i) {
        if (buffer[static_cast<std::size_t>(i)] != kCanary ||
            buffer[buffer.size() - 1 - static_cast<std::size_t>(i)] != kCanary) {
            Violation("getCVLGrabRow(%d) wrote outside the row", port);
            return;
        }
    }
    const std::uint32_t size = ZURSimLastImage(device, nullptr, 0);
    if (size != static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height)) {
        return;  // another geometry than the open's: nothing to compare
    }
    std::vector<std::uint8_t> raw(size);
    if (ZURSimLastImage(device, raw.data(), size) != size || book.busy.load() != 0 ||
        book.opens.load() != opens || closesBegun.load() != closes) {
        return;
    }
    imagesCompared.fetch_add(1);
    if (std::memcmp(raw.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width),
                    buffer.data() + kGuard, static_cast<std::size_t>(width)) != 0) {
        Violation("port %d row %d differs from the image the camera delivered", port, row);
    }
}

enum class OnComplete { Check, Regrab, Close, Finalize, Block };

template <OnComplete action>
void Completed(int grabberNo, int portNo) {
    PortBook* book = BookOf(portNo);
    if (grabberNo != 0 || book == nullptr) {
        Violation("callback with grabber %d, port %d", grabberNo, portNo);
        return;
    }
    if (finished.load() || book->closedAfter.load() == book->opens.load()) {
        Violation("callback for port %d after its close returned", portNo);
    }
    completions.fetch_add(1);
    CheckImage(portNo, *book);
    switch (action) {
        case OnComplete::Check:
            break;
        case OnComplete::Regrab:
            doCVLGrab(0, portNo);
            break;
        case OnComplete::Close:
            TimedClose(portNo);
            break;
        case OnComplete::Finalize:
            TimedFinalize();
            break;
        case OnComplete::Block:
            SleepUnlessReleased(completionBlockMs.load());
            break;
    }
}

const std::array<CompleteCallback, 6> kCompletions = {
    nullptr,
    &Completed<OnComplete::Check>,
    &Completed<OnComplete::Regrab>,
    &Completed<OnComplete::Close>,
    &Completed<OnComplete::Finalize>,
    &Completed<OnComplete::Block>,
};

std::atomic<long> messages{0};

// The last messages the host was given, for the watchdog's report.
class RecentMessages {
  public:
    void Add(const char* text) {
        if (text == nullptr || std::strchr(text, '\n') == nullptr) {
            return;  // a prefix
        }
        std::ostringstream entry;
        entry << std::this_thread::get_id() << (hostThread ? " host: " : " grab: ") << text;
        const std::lock_guard<std::mutex> lock(mutex);
        lines[next++ % lines.size()] = entry.str();
    }
    void Print() {
        const std::lock_guard<std::mutex> lock(mutex);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string& line = lines[(next + i) % lines.size()];
            if (!line.empty()) {
                std::fprintf(stderr, "  %s", line.c_str());
            }
        }
    }

  private:
    std::mutex mutex;
    std::array<std::string, 16> lines;
    std::size_t next = 0;
};
RecentMessages& Recent() {
    static platform::NoDestructor<RecentMessages> recent;  // grab threads may outlive main
    return *recent;
}

void CountingSink(const char* text) {
    if (text == nullptr) {
        Violation("message callback with a null text");
    }
    messages.fetch_add(1);
    Recent().Add(text);
}

// On grab threads: blocks as a sink that waits for its UI thread does.
void BlockingSink(const char* text) {
    CountingSink(text);
    if (!hostThread && !inTimedCall) {
        SleepUnlessReleased(messageBlockMs.load());
    }
}

// On grab threads: calls back into the driver, now and then closing a port.
void ReenteringSink(const char* text) {
    CountingSink(text);
    if (hostThread || text == nullptr || text[0] == '\0' ||
        std::strstr(text, "grabbing completed") == nullptr) {
        return;
    }
    const unsigned pick = callbackRandom() % 16;
    if (pick == 0) {
        TimedClose(kPorts[callbackRandom() % kPorts.size()]);
    } else if (pick < 4) {
        doCVLGrab(0, kPorts[callbackRandom() % 4]);
    } else {
        getCVLNoOfSupportedCameras();
    }
}

const std::array<MessageProc, 4> kSinks = {nullptr, &CountingSink, &BlockingSink, &ReenteringSink};

// ---- the host's calls ------------------------------------------------------

// clang-format off
const char* const kPropertyNames[] = {
    "continuous", "continous", "LogLevel", "LogIntoFile", "DebugView", "ExposureTime", "Exposure",
    "FrameRate", "AcquisitionFrameRate", "BlackLevel", "Gamma", "ImageWidth", "ImageHeight",
    "ImageOffsetX", "ImageOffsetY", "Gain", "GainRed", "GainGreen", "GainBlue", "BandAdjustment",
    "BandLevel", "SensorTaps", "VerticalBinning", "HorizontalBinning", "TriggerDelay",
    "TriggerMode", "TriggerSource", "TriggerActivation", "TriggerInhibit", "ColorFilter",
    "SoftwareTrigger", "PixelSize", "0xA0000100", "0xa0002040", "0xZZZZZZZZ", "0x", "NoSuchThing",
    "", "EXPOSURETIME"};
// clang-format on

// clang-format off
const char* const kZurCalls[] = {
    "ZUROpen", "ZURClose", "ZURGigESetRegister", "ZURGigEGetRegister", "ZURSetImageInfo",
    "ZURGetImageInfo", "ZURNowCameraMode", "ZURSetCameraMode", "ZURBandAdjust", "ZURGetDataDepth",
    "ZURCreateConvHandle", "ZURColorConvSetBMPINFO", "ZURColorConvExec", "ZURCloseConvHandle",
    "ZURIsoAlloc", "ZURIsoStart", "ZURIsoStop", "ZURIsoRelease", "ZURImageReq",
    "ZURImageCompleteWait", "ZURAbortImageReqAll", "ZURGetList", "ZURSetStructVersion"};
// clang-format on
const char* const kSlowCalls[] = {"ZUROpen", "ZURClose", "ZURGetList", "ZURGigESetRegister"};

class Host {
  public:
    Host(unsigned seed, int index, const std::string& folder)
        : random(seed * 7919u + static_cast<unsigned>(index)), systemFolder(folder) {
        longName.assign(100 * 1024, 'X');
        longPath = systemFolder + std::string(4000, 'p');
    }

    // One call, weighted: most go to ports in use; start-up and shut-down are rare.
    void Step() {
        struct Action {
            int weight;
            void (Host::*call)();
        };
        static constexpr Action kActions[] = {
            {1, &Host::Initialize},  {1, &Host::Finalize},  {1, &Host::SystemPath},
            {1, &Host::MessageSink}, {2, &Host::Enumerate}, {8, &Host::Open},
            {3, &Host::Close},       {10, &Host::Grab},     {8, &Host::Row},
            {8, &Host::Property},    {4, &Host::Callback},  {3, &Host::Continuous},
            {1, &Host::Configure},   {2, &Host::Fault},     {1, &Host::Range},
            {1, &Host::Timing},      {2, &Host::Pause},     {1, &Host::Outage}};
        int pick = static_cast<int>(Pick(58));
        for (const Action& action : kActions) {
            if (pick < action.weight) {
                inCall = true;
                (this->*action.call)();
                inCall = false;
                return;
            }
            pick -= action.weight;
        }
    }

    // The call the host is in or made last, for the watchdog.
    std::atomic<const char*> lastCall{"none"};
    std::atomic<bool> inCall{false};

  private:
    std::size_t Pick(std::size_t count) { return random() % count; }
    // Mostly a port the host has a camera open on.
    int Port() {
        if (Pick(4) != 0) {
            std::vector<int> live;
            for (const int port : kPorts) {
                const PortBook& book = Books().at(port);
                if (book.width.load() > 0 && book.closedAfter.load() != book.opens.load()) {
                    live.push_back(port);
                }
            }
            if (!live.empty()) {
                return live[Pick(live.size())];
            }
        }
        return kPorts[Pick(kPorts.size())];
    }

    int Value() {
        static const int values[] = {-1,  0,    1,    2,     3,       4,      7,
                                     100, 1000, 4300, 65535, INT_MAX, INT_MIN};
        return Pick(4) == 0 ? static_cast<int>(random()) : values[Pick(std::size(values))];
    }

    const char* Name() {
        switch (Pick(12)) {
            case 0:
                return nullptr;
            case 1:
                return longName.c_str();
            default:
                return kPropertyNames[Pick(std::size(kPropertyNames))];
        }
    }

    void Finalize() {
        lastCall = "finalize";
        TimedFinalize();
    }

    void MessageSink() {
        lastCall = "setDebugMsgProc";
        setDebugMsgProc(kSinks[Pick(kSinks.size())]);
    }

    void Close() {
        lastCall = "closeCVLPort";
        TimedClose(Port());
    }

    void Callback() {
        lastCall = "setCompleteCallback";
        setCompleteCallback(0, Port(), kCompletions[Pick(kCompletions.size())]);
    }

    void Range() {
        lastCall = "getPropertyRange";
        getPropertyRange(0, Port(), Name(), nullptr, nullptr);
    }

    void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(Pick(5))); }

    void Initialize() {
        lastCall = "initialize";
        const char* paths[] = {systemFolder.c_str(), nullptr, "", longPath.c_str(),
                               "/no/such/folder"};
        initialize(paths[Pick(std::size(paths))], kSinks[Pick(kSinks.size())]);
    }

    void SystemPath() {
        lastCall = "setSystemPath";
        const char* paths[] = {systemFolder.c_str(), nullptr, "", longPath.c_str()};
        setSystemPath(paths[Pick(std::size(paths))]);
    }

    void Enumerate() {
        lastCall = "getCVLCameraConfigNames";
        getCVLMaxNoOfGrabbers();
        getCVLMaxNoOfPorts();
        const int count = getCVLNoOfSupportedCameras();
        const std::lock_guard<std::shared_mutex> lock(namesLock);
        char** names = getCVLCameraConfigNames();
        int listed = 0;
        while (names != nullptr && names[listed] != nullptr && listed <= 20) {
            if (std::strlen(names[listed]) == 0) {
                Violation("an empty camera name");
            }
            ++listed;
        }
        if (count < 0 || count > 20 || listed > 20) {
            Violation("%d cameras counted, %d listed", count, listed);
        }
    }

    // A camera only ever opens on ports of its own, so that one close ends
    // one camera's callbacks.
    void Open() {
        lastCall = "openCVLPort";
        const std::size_t slot = Pick(kPorts.size());
        const int port = kPorts[slot];
        const std::size_t camera = slot % std::max<std::size_t>(cameras.size(), 1);
        std::string name = camera < cameras.size() ? cameras[camera].name : "XCG-V60E-1";
        const char* text = name.c_str();
        switch (Pick(10)) {
            case 0:
                text = nullptr;
                break;
            case 1:
                text = "Undefined";
                break;
            case 2:
                text = longName.c_str();
                break;
            default:
                break;
        }
        PortBook& book = *BookOf(port);
        book.busy.fetch_add(1);
        book.opens.fetch_add(1);
        int size[2] = {-7, -7};
        int* sizeOut = Pick(20) == 0 ? nullptr : size;
        const int opened = openCVLPort(0, port, text, sizeOut);
        book.busy.fetch_sub(1);
        if (opened == 1) {
            if (port < 0) {
                Violation("openCVLPort(%d) succeeded on a negative port", port);
                return;
            }
            if (camera >= cameras.size() || size[0] <= 0 || size[1] <= 0) {
                Violation("openCVLPort(%d) succeeded with size %d x %d", port, size[0], size[1]);
                return;
            }
            opensSucceeded.fetch_add(1);
            book.device.store(cameras[camera].id);
            book.color.store(cameras[camera].color);
            book.width.store(size[0]);
            book.height.store(size[1]);
        } else if (sizeOut != nullptr && (size[0] != 0 || size[1] != 0)) {
            Violation("failed openCVLPort(%d) left size %d x %d", port, size[0], size[1]);
        }
    }

    void Grab() {
        lastCall = "doCVLGrab";
        const int port = Port();
        const std::size_t burst = 1 + Pick(5);
        for (std::size_t i = 0; i < burst; ++i) {
            granted.fetch_add(doCVLGrab(0, port));
        }
    }

    // Every kind of row request; what the host expects to receive fits its
    // buffer, and the copy must never go beyond that.
    void Row() {
        lastCall = "getCVLGrabRow";
        const int port = Port();
        PortBook& book = *BookOf(port);
        const int width = book.width.load();
        const int height = std::max(book.height.load(), 1);
        const int rows[] = {
            0, height - 1, height, -1, INT_MAX, INT_MIN, static_cast<int>(Pick(64))};
        const int row = rows[Pick(std::size(rows))];
        int first = 0;
        int last = width - 1;
        switch (Pick(6)) {
            case 0:
                last = INT_MAX;
                break;
            case 1:
                first = 5;
                last = 2;
                break;
            case 2:
                first = INT_MIN;
                last = INT_MAX;
                break;
            case 3:
                last = static_cast<int>(Pick(static_cast<std::size_t>(std::max(width, 1))));
                break;
            default:
                break;
        }
        const int pixelBytes = book.color.load() ? 3 : 1;
        const std::int64_t asked = (static_cast<std::int64_t>(last) - first + 1) * pixelBytes;
        const std::size_t room =
            static_cast<std::size_t>(std::clamp<std::int64_t>(asked, 0, 1 << 18));
        std::vector<std::uint8_t> buffer(room + 2 * kGuard, kCanary);
        void* destination = Pick(10) == 0 ? nullptr : buffer.data() + kGuard;
        getCVLGrabRow(0, port, destination, row, first, last);
        for (std::size_t i = 0; i < kGuard; ++i) {
            if (buffer[i] != kCanary || buffer[kGuard + room + i] != kCanary) {
                Violation("getCVLGrabRow(%d, row %d, %d..%d) wrote outside %zu bytes", port, row,
                          first, last, room);
                return;
            }
        }
    }

    void Property() {
        const int port = Port();
        const char* name = Name();
        if (Pick(2) == 0) {
            lastCall = "getProperty";
            int value = 0;
            getProperty(0, port, name, Pick(10) == 0 ? nullptr : &value);
        } else {
            lastCall = "setProperty";
            int value = Value();
            if (name != nullptr &&
                (std::strcmp(name, "LogLevel") == 0 || std::strcmp(name, "DebugView") == 0)) {
                value = 1 + static_cast<int>(Pick(3));  // the per-row trace would drown the run
            }
            setProperty(0, port, name, value);
        }
    }

    void Continuous() {
        lastCall = "continuous";
        setProperty(0, Port(), Pick(2) == 0 ? "continuous" : "continous",
                    static_cast<int>(Pick(2)));
    }

    void Configure() {
        lastCall = "configureCamera";
        const std::size_t camera = Pick(cameras.size() + 2);
        const char* name = camera < cameras.size() ? cameras[camera].name.c_str()
                                                   : (camera == cameras.size() ? nullptr : "nope");
        configureCamera(reinterpret_cast<void*>(static_cast<std::uintptr_t>(Pick(3))), name);
    }

    void Fault() {
        lastCall = "simulator fault";
        switch (Pick(24)) {
            case 0:
                // Rare: a camera whose handle ZUR would not give back.
                if (Pick(4) == 0) {
                    ZURSimFailNext("ZURClose", 1);
                }
                break;
            case 1:
                // A slow camera or network: short enough that the bounds on
                // a close and a finalize hold, long enough to overlap with
                // other cameras' calls.
                ZURSimSetDelay(kSlowCalls[Pick(std::size(kSlowCalls))],
                               Pick(3) == 0 ? 0 : static_cast<std::uint32_t>(Pick(150)));
                break;
            case 2:
            case 3:
                ZURSimFailNext(kZurCalls[Pick(std::size(kZurCalls))], 0);
                break;
            default:
                ZURSimFailNext(kZurCalls[Pick(std::size(kZurCalls))],
                               static_cast<std::int32_t>(1 + Pick(3)));
                break;
        }
    }

    // A camera unplugged, or plugged in again (switched off meanwhile or
    // not), which an open port brings back by itself.
    void Outage() {
        lastCall = "outage";
        if (cameras.empty()) {
            return;
        }
        const std::uint64_t id = cameras[Pick(cameras.size())].id;
        if (Pick(2) == 0) {
            ZURSimUnplug(id);
        } else {
            ZURSimPlug(id, static_cast<int32_t>(Pick(2)));
        }
    }

    void Timing() {
        lastCall = "callback timing";
        messageBlockMs.store(Pick(4) == 0 ? static_cast<int>(Pick(2500)) : 0);
        completionBlockMs.store(static_cast<int>(Pick(4500)));
    }

    std::mt19937 random;
    std::string systemFolder;
    std::string longName;
    std::string longPath;
};

// A user who continues past every warning and presses OK at once; shared by
// no two sheets, as several host threads may show one at a time.
class HastyUser : public SheetFrontEnd {
  public:
    bool CanShowDialog() override { return true; }
    bool ConfirmContinue(void*, const std::string&, const std::string&) override { return true; }
    bool RunModal(CSheet1& sheet) override {
        testing_support::FakeSheetWindows windows(sheet);
        windows.ShowPage(0);
        return windows.PressOk() && sheet.Accepted();
    }
};

// ---- one run -----------------------------------------------------------------

// Random bytes, lines without sections and sections of bad values.
std::string CorruptIni(std::mt19937& random) {
    std::string text;
    for (const CameraInfo& camera : cameras) {
        text += "[" + camera.name + "]\n";
        const char* keys[] = {"LogLevel",    "Exposure",   "FrameRate",       "ImageWidth",
                              "ImageHeight", "GainRed",    "TriggerMode",     "TriggerSource",
                              "LineSource1", "SensorTaps", "VerticalBinning", "HorizontalBinning"};
        for (const char* key : keys) {
            const char* values[] = {"0", "-1",  "99",       "4300",           "2147483648", "abc",
                                    "",  "1e9", "Hardware", "Sensor Readout", "3.5"};
            text += std::string(key) + "=" + values[random() % std::size(values)] + "\n";
        }
    }
    const std::size_t junk = random() % 2048;
    for (std::size_t i = 0; i < junk; ++i) {
        text += static_cast<char>(random() % 256);
    }
    return text;
}

void AttachCameras(std::mt19937& random) {
    const char* models[] = {"XCG-V60E",  "XCG-SX97E", "XCG-SX99E",  "XCG-U100E",
                            "XCG-5005E", "XCG-H280E", "XCG-U100CR", "XCG-5005CR"};
    ZURSimReset();
    cameras.clear();
    const std::size_t count = 1 + random() % 3;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string model = models[random() % std::size(models)];
        const std::uint64_t id = 100 + i;
        ZURSimAddCamera(model.c_str(), id);
        // Small images keep the run about the driver, not the rendering.
        ZURSimSetCameraOption(id, "width", std::to_string(32 + 2 * (random() % 96)).c_str());
        ZURSimSetCameraOption(id, "height", std::to_string(32 + 2 * (random() % 64)).c_str());
        ZURSimSetCameraOption(id, "fast", random() % 4 == 0 ? "0" : "1");
        ZURSimSetCameraOption(id, "frameRateMax", "1000");
        cameras.push_back(
            {model + "-" + std::to_string(id), id, model.find("CR") != std::string::npos});
    }
}

// Every camera handle the driver got from ZUR is closed once ZUR lets it,
// and every conversion handle had its close.
void CheckHandlesClosed() {
    const int entries = ZURSimJournalCount();
    if (entries >= 100000) {
        return;  // the oldest entries are gone: nothing to count on
    }
    int conversions = 0;
    int conversionsClosed = 0;
    char text[256];
    for (int i = 0; i < entries; ++i) {
        std::int32_t result = 0;
        if (ZURSimJournalEntry(i, text, sizeof text, &result) == 0) {
            continue;
        }
        const std::string entry = text;
        const auto is = [&entry](const char* call) { return entry.rfind(call, 0) == 0; };
        conversions += is("ZURCreateConvHandle ") && result == 1 ? 1 : 0;
        conversionsClosed += is("ZURCloseConvHandle ") ? 1 : 0;
    }
    if (ZURSimOpenDeviceCount() != 0 || conversions != conversionsClosed) {
        Violation("after the last finalize: %d camera handles open, %d conversions, %d closed",
                  ZURSimOpenDeviceCount(), conversions, conversionsClosed);
    }
}

bool RunSeed(unsigned seed, const Options& options) {
    std::mt19937 random(seed);
    testing_support::TempDir folder;
    AttachCameras(random);
    if (random() % 2 == 0) {
        testing_support::WriteWholeFile(folder.File("ZavaDED.ini"), CorruptIni(random));
    }
    for (const int port : kPorts) {
        PortBook& book = Books()[port];
        book.opens = 0;
        book.closedAfter = UINT64_MAX;
        book.width = 0;
        book.height = 0;
    }
    finished = false;
    releaseCallbacks = false;
    violations = 0;
    messages = 0;
    completions = 0;
    opensSucceeded = 0;
    granted = 0;
    imagesCompared = 0;

    const int threadCount =
        options.threads > 0 ? options.threads : 2 + static_cast<int>(random() % 3);
    std::vector<std::unique_ptr<Host>> hosts;
    for (int i = 0; i < threadCount; ++i) {
        hosts.push_back(std::make_unique<Host>(seed, i, folder.Path()));
    }
    initialize(folder.Path().c_str(), &CountingSink);

    const auto deadline = Clock::now() + std::chrono::seconds(options.seconds);
    std::atomic<bool> done{false};
    std::atomic<const char*> phase{"the host threads ran"};
    // A hung driver cannot be cleaned up: the watchdog ends the program.
    std::thread watchdog([&] {
        const auto limit = deadline + 20s;
        while (!done.load() && Clock::now() < limit) {
            std::this_thread::sleep_for(50ms);
        }
        if (!done.load()) {
            std::lock_guard<std::mutex> lock(reportLock);
            std::fprintf(stderr, "HANG: seed %u did not finish while %s; host threads:", seed,
                         phase.load());
            for (const auto& host : hosts) {
                std::fprintf(stderr, " %s %s;", host->inCall.load() ? "in" : "after",
                             host->lastCall.load());
            }
            std::fprintf(stderr, "\nthe last messages:\n");
            Recent().Print();
            std::fflush(stderr);
            std::_Exit(4);
        }
    });
    std::vector<std::thread> threads;
    std::atomic<long> calls{0};
    for (auto& host : hosts) {
        threads.emplace_back([&, &self = *host] {
            hostThread = true;
            for (int i = 0; i < options.calls && Clock::now() < deadline; ++i) {
                self.Step();
                calls.fetch_add(1);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }

    if (options.exitWithoutFinalize) {
        phase = "leaving without finalize";
        // The host's own calls: its sink blocks only grab threads.
        hostThread = true;
        // Grab threads still run and log into the file: the host just leaves.
        setProperty(0, 0, "LogIntoFile", 1);
        setProperty(0, 0, "continuous", 1);
        std::printf("seed %u: %ld calls, leaving without finalize\n", seed, calls.load());
        std::fflush(stdout);
        done = true;
        watchdog.join();
        std::exit(violations.load() == 0 ? 0 : 1);
    }

    phase = "finalizing";
    releaseCallbacks = true;
    setDebugMsgProc(nullptr);
    for (const char* call : kZurCalls) {
        ZURSimFailNext(call, 0);
        ZURSimSetDelay(call, 0);
    }
    ZURSimFailNext("ZURClose", 0);
    // A host's finalize may have been the last one while ZUR refused closes;
    // the driver retries those at the next last finalize, which is ours.
    initialize(folder.Path().c_str(), nullptr);
    while (DriverLog::Instance().RefCount() > 0) {
        TimedFinalize();
    }
    finished = true;
    CheckHandlesClosed();
    // Threads given up on end on their own, without calling back.
    std::this_thread::sleep_for(100ms);
    done = true;
    watchdog.join();
    std::printf(
        "seed %u: %d threads, %ld calls, %ld messages, %ld opens, %ld grabs, %ld callbacks, %ld "
        "rows compared, %d violations\n",
        seed, threadCount, calls.load(), messages.load(), opensSucceeded.load(), granted.load(),
        completions.load(), imagesCompared.load(), violations.load());
    std::fflush(stdout);
    return violations.load() == 0;
}

std::vector<unsigned> ParseSeeds(const char* text) {
    std::vector<unsigned> seeds;
    for (const char* p = text; *p != '\0';) {
        char* end = nullptr;
        seeds.push_back(static_cast<unsigned>(std::strtoul(p, &end, 10)));
        p = *end == ',' ? end + 1 : end;
        if (end == p && *p != '\0') {
            break;
        }
    }
    return seeds;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : "";
        if (arg == "--seeds") {
            options.seeds = ParseSeeds(next);
            ++i;
        } else if (arg == "--calls") {
            options.calls = std::atoi(next);
            ++i;
        } else if (arg == "--seconds") {
            options.seconds = std::atoi(next);
            ++i;
        } else if (arg == "--threads") {
            options.threads = std::clamp(std::atoi(next), 1, 8);
            ++i;
        } else if (arg == "--exit-without-finalize") {
            options.exitWithoutFinalize = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else {
            std::fprintf(stderr, "unknown argument %s\n", arg.c_str());
            return 2;
        }
    }
    if (!options.verbose) {
        DriverLog::Instance().SetDebugView(0);
    }
    // configureCamera shows a sheet on which a user presses OK at once.
    SetSheetFrontEndFactory([] { return std::make_unique<HastyUser>(); });
    int failed = 0;
    for (const unsigned seed : options.seeds) {
        failed += RunSeed(seed, options) ? 0 : 1;
    }
    return failed == 0 ? 0 : 1;
}
