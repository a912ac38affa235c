#pragma once

#include <string>

namespace platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// directory, one separator, file name: the directory is taken unchanged, so a
// trailing separator in it is doubled, and an empty one gives a rooted name.
inline std::string JoinPath(const std::string& directory, const char* fileName) {
    std::string path = directory;
    path += kPathSeparator;
    path += fileName;
    return path;
}

}  // namespace platform
