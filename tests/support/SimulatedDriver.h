#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "LogCapture.h"
#include "TempDir.h"

class Camera;

namespace testing_support {

struct SimulatedCamera {
    std::string model;
    std::uint64_t id;
    // Simulator options as key/value pairs, e.g. {"fast", "1"}.
    std::vector<std::pair<std::string, std::string>> options = {{"fast", "1"}};
};

// A started driver on freshly attached simulated cameras: the simulated ZUR
// library is reset, the cameras attached, and initialize run with a system
// path of its own; the destructor runs finalize, which closes every camera.
// The log is captured from the start.
class DriverSession {
  public:
    explicit DriverSession(std::initializer_list<SimulatedCamera> cameras);
    ~DriverSession();
    DriverSession(const DriverSession&) = delete;
    DriverSession& operator=(const DriverSession&) = delete;

    Camera& CameraNamed(const std::string& name) const;
    // Opens the camera on a port through openCVLPort; fails the test if it cannot.
    Camera& Open(const std::string& name, int port);
    const TempDir& Folder() const { return folder; }
    LogCapture& Log() { return *capture; }

  private:
    TempDir folder;
    std::unique_ptr<LogCapture> capture;
};

// The simulated library's journal of ZUR calls.
std::vector<std::string> Journal();
// The entries that start with prefix, with the prefix and one blank removed.
std::vector<std::string> JournalOf(const std::string& prefix);
void ClearJournal();
// A register write as the journal shows it, without its handle.
std::string Write(std::uint32_t address, std::uint32_t data);
// The register writes of the journal, without their handles.
std::vector<std::string> RegisterWrites();
std::uint32_t PeekRegister(std::uint64_t id, std::uint32_t address);

}  // namespace testing_support
