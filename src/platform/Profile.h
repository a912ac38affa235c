#pragma once

#include <cstdint>

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

}  // namespace platform
