#pragma once

#include <string>

namespace testing_support {

// A fresh, empty folder that is removed with everything in it at destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, without a trailing separator, in the platform's notation.
    const std::string& Path() const { return path; }
    // Path() joined with a file name by the platform's separator.
    std::string File(const std::string& name) const;

  private:
    std::string path;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
// Sets an environment variable of this process (inherited by its children).
void SetEnvironment(const std::string& name, const std::string& value);

}  // namespace testing_support
