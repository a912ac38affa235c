#pragma once

#include <cstdint>
#include <string>

#ifndef _WIN32
#include "platform/IniDocument.h"
#endif

// The Win32 profile (INI file) functions: the real ones in the Windows builds,
// a reader and writer of ours with the same results on POSIX (the rules are
// those of IniDocument). Listing sections or keys (a null section or key on
// reading) is not provided on POSIX: it gives the default.
// windows.h defines these names as macros; a file that includes it must do
// so before this header.
#ifdef _WIN32
#undef GetProfileInt
#undef GetProfileString
#undef WriteProfileString
#endif

namespace platform {

// GetPrivateProfileIntA: the key's text as an integer, or defaultValue when
// the file, the section or the key is absent or the value is empty.
int GetProfileInt(const char* section, const char* key, int defaultValue, const char* filePath);

// GetPrivateProfileStringA: copies the key's text, or defaultText when the
// file, the section or the key is absent, into buffer, cut to fit size bytes
// with the terminating zero. Returns the number of characters copied.
std::uint32_t GetProfileString(const char* section, const char* key, const char* defaultText,
                               char* buffer, std::uint32_t size, const char* filePath);

// WritePrivateProfileStringA: sets key=text in the section, creating the
// file, the section and the key as needed; a null text removes the key, a
// null key the section. False when the file could not be written. On POSIX
// the file is replaced whole or not at all, and a file that exists but cannot
// be read is left alone.
bool WriteProfileString(const char* section, const char* key, const char* text,
                        const char* filePath);

// One INI file read or written through many of the calls above, as a load or
// a save of a camera's section does, with the same results. On POSIX the file
// is read and parsed once, at the first call, and the writes change it in
// memory until Commit writes it once (a file that is never committed stays
// as it was). The Windows builds call the profile functions each time.
class ProfileFile {
  public:
    explicit ProfileFile(std::string filePath);
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    int GetInt(const char* section, const char* key, int defaultValue);
    std::uint32_t GetString(const char* section, const char* key, const char* defaultText,
                            char* buffer, std::uint32_t size);
    // False when the file cannot be changed (it exists but cannot be read,
    // or it is not ours to change); on POSIX a write that will fail only
    // shows in Commit.
    bool WriteString(const char* section, const char* key, const char* text);
    // Writes what the writes changed; false when the file could not be written.
    bool Commit();

  private:
    std::string path;
#ifndef _WIN32
    enum class State { NotRead, Read, Missing, Unreadable };
    State Load();

    State state = State::NotRead;
    IniDocument document;
    bool changed = false;
#endif
};

}  // namespace platform
