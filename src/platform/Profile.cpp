#include "platform/Profile.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>
// windows.h maps these names to its own ANSI functions.
#undef GetProfileInt
#undef GetProfileString
#undef WriteProfileString
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/IniDocument.h"
#endif

namespace platform {

ProfileFile::ProfileFile(std::string filePath) : path(std::move(filePath)) {}

#ifdef _WIN32

int GetProfileInt(const char* section, const char* key, int defaultValue, const char* filePath) {
    return static_cast<int>(GetPrivateProfileIntA(section, key, defaultValue, filePath));
}

std::uint32_t GetProfileString(const char* section, const char* key, const char* defaultText,
                               char* buffer, std::uint32_t size, const char* filePath) {
    return GetPrivateProfileStringA(section, key, defaultText, buffer, size, filePath);
}

bool WriteProfileString(const char* section, const char* key, const char* text,
                        const char* filePath) {
    return WritePrivateProfileStringA(section, key, text, filePath) != FALSE;
}

int ProfileFile::GetInt(const char* section, const char* key, int defaultValue) {
    return GetProfileInt(section, key, defaultValue, path.c_str());
}

std::uint32_t ProfileFile::GetString(const char* section, const char* key, const char* defaultText,
                                     char* buffer, std::uint32_t size) {
    return GetProfileString(section, key, defaultText, buffer, size, path.c_str());
}

bool ProfileFile::WriteString(const char* section, const char* key, const char* text) {
    return WriteProfileString(section, key, text, path.c_str());
}

bool ProfileFile::Commit() {
    return true;
}

#else

namespace {

enum class FileState { Read, Missing, Unreadable };

// The whole file, or why there is none. A file that exists but cannot be read
// must not be taken for an empty one: a write would replace it.
FileState ReadFile(const char* filePath, std::string& text) {
    text.clear();
    const int descriptor = open(filePath, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return errno == ENOENT ? FileState::Missing : FileState::Unreadable;
    }
    char chunk[8192];
    for (;;) {
        const ssize_t count = read(descriptor, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            close(descriptor);
            return count == 0 ? FileState::Read : FileState::Unreadable;
        }
        text.append(chunk, static_cast<std::size_t>(count));
    }
}

// Writes a new file beside the old one and renames it over, so that a
// failure never leaves a half-written file behind.
bool ReplaceFile(const std::string& filePath, const std::string& text) {
    std::string temporary = filePath + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) {
        return false;
    }
    struct stat existing {};
    const mode_t mode = stat(filePath.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
    bool written = fchmod(descriptor, mode) == 0;
    std::size_t done = 0;
    while (written && done < text.size()) {
        const ssize_t count = write(descriptor, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        written = count > 0;
        done += written ? static_cast<std::size_t>(count) : 0;
    }
    written = written && fsync(descriptor) == 0;
    written = (close(descriptor) == 0) && written;
    if (!written || std::rename(temporary.c_str(), filePath.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

// Win32 ignores trailing blanks of the default text, but keeps its first
// character.
std::string_view TrimDefault(std::string_view text) {
    while (text.size() > 1 && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

ProfileFile::State ProfileFile::Load() {
    if (state == State::NotRead) {
        std::string text;
        switch (ReadFile(path.c_str(), text)) {
            case FileState::Read:
                document = IniDocument::Parse(text);
                state = State::Read;
                break;
            case FileState::Missing:
                state = State::Missing;
                break;
            case FileState::Unreadable:
                state = State::Unreadable;
                break;
        }
    }
    return state;
}

std::uint32_t ProfileFile::GetString(const char* section, const char* key, const char* defaultText,
                                     char* buffer, std::uint32_t size) {
    std::string_view result = TrimDefault(defaultText != nullptr ? defaultText : "");
    if (section != nullptr && key != nullptr && Load() == State::Read) {
        if (const std::optional<std::string_view> value = document.Find(section, key)) {
            result = *value;
        }
    }
    return CopyProfileText(result, buffer, size);
}

int ProfileFile::GetInt(const char* section, const char* key, int defaultValue) {
    // Win32 reads the value into 30 characters, so longer texts are cut.
    char text[30];
    if (GetString(section, key, "", text, sizeof text) == 0) {
        return defaultValue;
    }
    return ProfileTextToInt(text);
}

bool ProfileFile::WriteString(const char* section, const char* key, const char* text) {
    if (section == nullptr || Load() == State::Unreadable || !document.Editable()) {
        return false;
    }
    const bool changedNow = key == nullptr    ? document.RemoveSection(section)
                            : text == nullptr ? document.RemoveKey(section, key)
                                              : document.Set(section, key, text);
    changed = changed || changedNow;
    return true;
}

bool ProfileFile::Commit() {
    if (!changed) {
        return true;
    }
    if (!ReplaceFile(path, document.Serialize())) {
        return false;
    }
    changed = false;
    return true;
}

std::uint32_t GetProfileString(const char* section, const char* key, const char* defaultText,
                               char* buffer, std::uint32_t size, const char* filePath) {
    // No path names no file, and an absent file gives the default.
    return ProfileFile(filePath != nullptr ? filePath : "")
        .GetString(section, key, defaultText, buffer, size);
}

int GetProfileInt(const char* section, const char* key, int defaultValue, const char* filePath) {
    return ProfileFile(filePath != nullptr ? filePath : "").GetInt(section, key, defaultValue);
}

bool WriteProfileString(const char* section, const char* key, const char* text,
                        const char* filePath) {
    if (filePath == nullptr) {
        return false;
    }
    ProfileFile file(filePath);
    return file.WriteString(section, key, text) && file.Commit();
}

#endif

}  // namespace platform
