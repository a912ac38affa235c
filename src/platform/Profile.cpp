#include "platform/Profile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
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

std::optional<std::string> ReadFile(const char* filePath) {
    std::ifstream file(filePath, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
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

// Win32 copies a value that is enclosed in matching quotes without them.
std::string_view StripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Win32 ignores trailing blanks of the default text.
std::string_view TrimTrailingBlanks(std::string_view text) {
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::uint32_t GetProfileString(const char* section, const char* key, const char* defaultText,
                               char* buffer, std::uint32_t size, const char* filePath) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    std::string_view result = TrimTrailingBlanks(defaultText != nullptr ? defaultText : "");
    std::optional<std::string> text;
    if (section != nullptr && key != nullptr && filePath != nullptr) {
        text = ReadFile(filePath);
    }
    std::optional<IniDocument> document;
    if (text) {
        document = IniDocument::Parse(*text);
        if (const std::optional<std::string_view> value = document->Find(section, key)) {
            result = StripQuotes(*value);
        }
    }
    // Cut to fit; a zero byte inside the value ends it, as it ends a C text.
    const std::size_t count = std::min<std::size_t>(result.size(), size - 1);
    std::memcpy(buffer, result.data(), count);
    buffer[count] = '\0';
    return static_cast<std::uint32_t>(std::strlen(buffer));
}

int GetProfileInt(const char* section, const char* key, int defaultValue, const char* filePath) {
    char text[30];
    if (GetProfileString(section, key, "", text, sizeof text, filePath) == 0) {
        return defaultValue;
    }
    // As Win32: blanks, a sign, a base prefix (0x, 0o, 0b), then the leading
    // digits, wrapping around in 32 bits.
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    unsigned base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    } else if (p[0] == '0' && (p[1] == 'o' || p[1] == 'O')) {
        base = 8;
        p += 2;
    } else if (p[0] == '0' && (p[1] == 'b' || p[1] == 'B')) {
        base = 2;
        p += 2;
    }
    std::uint32_t value = 0;
    for (;; ++p) {
        unsigned digit = 0;
        if (*p >= '0' && *p <= '9') {
            digit = static_cast<unsigned>(*p - '0');
        } else if (*p >= 'a' && *p <= 'f') {
            digit = static_cast<unsigned>(*p - 'a' + 10);
        } else if (*p >= 'A' && *p <= 'F') {
            digit = static_cast<unsigned>(*p - 'A' + 10);
        } else {
            break;
        }
        if (digit >= base) {
            break;
        }
        value = value * base + digit;
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<int>(value);
}

bool WriteProfileString(const char* section, const char* key, const char* text,
                        const char* filePath) {
    if (section == nullptr || key == nullptr || text == nullptr || filePath == nullptr) {
        return false;
    }
    IniDocument document = IniDocument::Parse(ReadFile(filePath).value_or(std::string()));
    if (!document.Set(section, key, text)) {
        return true;
    }
    return ReplaceFile(filePath, document.Serialize());
}

#endif

}  // namespace platform
