#include "platform/Profile.h"

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

std::uint32_t GetProfileString(const char* section, const char* key, const char* defaultText,
                               char* buffer, std::uint32_t size, const char* filePath) {
    std::string_view result = TrimDefault(defaultText != nullptr ? defaultText : "");
    std::string text;
    std::optional<IniDocument> document;
    if (section != nullptr && key != nullptr && filePath != nullptr &&
        ReadFile(filePath, text) == FileState::Read) {
        document = IniDocument::Parse(text);
        if (const std::optional<std::string_view> value = document->Find(section, key)) {
            result = *value;
        }
    }
    return CopyProfileText(result, buffer, size);
}

int GetProfileInt(const char* section, const char* key, int defaultValue, const char* filePath) {
    // Win32 reads the value into 30 characters, so longer texts are cut.
    char text[30];
    if (GetProfileString(section, key, "", text, sizeof text, filePath) == 0) {
        return defaultValue;
    }
    return ProfileTextToInt(text);
}

bool WriteProfileString(const char* section, const char* key, const char* text,
                        const char* filePath) {
    if (section == nullptr || filePath == nullptr) {
        return false;
    }
    std::string content;
    if (ReadFile(filePath, content) == FileState::Unreadable) {
        return false;
    }
    IniDocument document = IniDocument::Parse(content);
    if (!document.Editable()) {
        return false;
    }
    const bool changed = key == nullptr    ? document.RemoveSection(section)
                         : text == nullptr ? document.RemoveKey(section, key)
                                           : document.Set(section, key, text);
    return !changed || ReplaceFile(filePath, document.Serialize());
}

#endif

}  // namespace platform
