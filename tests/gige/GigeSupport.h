#pragma once

// What the GigE Vision tests share: gevcam processes serving simulated
// cameras on loopback addresses, and the frame the simulator would deliver
// for a camera's state and block ID. The tests run inside a network
// namespace that holds only loopback (scripts/netns.sh).

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ZUR.h"

namespace gigetest {

// One gevcam process: started at construction (readiness lines awaited),
// stopped at destruction; killed and started again on request.
class Gevcam {
  public:
    // config: the text of a ZUR_SIM_CONFIG file, empty for the built-in set.
    Gevcam(std::vector<std::string> addresses, std::vector<std::string> options = {},
           std::string config = "");
    ~Gevcam();
    Gevcam(const Gevcam&) = delete;
    Gevcam& operator=(const Gevcam&) = delete;

    void Start();
    void Kill();  // SIGKILL: no goodbye, as a camera that loses power
    // SIGSTOP and SIGCONT: a camera that hangs, or a cable pulled and put
    // back, and keeps what it knew.
    void Freeze();
    void Resume();

    // Camera names as gevcam printed them, in address order.
    const std::vector<std::string>& Names() const { return names; }

  private:
    void Stop();

    std::vector<std::string> arguments;
    std::string configPath;
    pid_t pid = -1;
    std::vector<std::string> names;
};

// The three default models (monochrome, colour, H280) on 127.0.0.2 to
// 127.0.0.4, shared by the tests of the process.
Gevcam& DefaultCameras();

// Skips the test outside a namespace of scripts/netns.sh.
#define GIGE_REQUIRE_NAMESPACE()                                                    \
    do {                                                                            \
        if (!gigetest::InPrivateNetwork()) {                                        \
            GTEST_SKIP() << "needs a private network namespace (scripts/netns.sh)"; \
        }                                                                           \
    } while (false)
bool InPrivateNetwork();

// Sets or (value null) clears an environment variable for the scope.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const char* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    std::string name;
    bool had = false;
    std::string old;
};

struct Listed {
    std::uint64_t id = 0;
    std::string model;
};
// ZURGetList, count first, then the records.
std::vector<Listed> ListCameras();

// Opens the camera at `index` of the list with its stream allocated and
// started at the model's top frame rate; 0 when it cannot.
std::uint32_t OpenStreaming(const Listed& camera);
std::uint32_t ReadRegister(std::uint32_t handle, std::uint32_t address);
std::uint32_t WriteRegister(std::uint32_t handle, std::uint32_t address, std::uint32_t value);

// The raw frame the simulator renders for the camera in its present state
// (geometry, binning, colour gains, pixel format) and this block ID.
std::vector<std::uint8_t> ExpectedFrame(std::uint32_t handle, const std::string& model,
                                        std::uint64_t blockId);

// Request, wait (bounded) and the block ID; the wait's result.
std::int32_t Grab(std::uint32_t handle, std::vector<std::uint8_t>& buffer, std::uint64_t& blockId,
                  std::uint32_t timeoutMs = 5000);

}  // namespace gigetest
