#pragma once

#include <cstdint>

// The Win32 profile (INI file) functions: the real ones in the Windows builds,
// a reader and writer of ours with the same results on POSIX.
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
// file, the section and the key as needed. False when the file could not be
// written.
bool WriteProfileString(const char* section, const char* key, const char* text,
                        const char* filePath);

}  // namespace platform
