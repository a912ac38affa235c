#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// An INI file held line by line, so that a change rewrites one line and leaves
// every other byte of the file as it was. Lookups follow the Win32 profile
// functions:
// - a line ends at "\r\n", "\n" or a lone "\r";
// - blanks (and the end-of-file mark 0x1a) around lines, names and values
//   do not count, and a zero byte ends a name or a value;
// - section and key names match without regard to ASCII letter case;
// - only the first section of a name is searched, the first key of a name
//   wins, and a key line without "=" has no value;
// - the lines before the first section header form the section "";
// - a header without its "]" is an ordinary line of the section before it;
// - there are no comments: ";x" is a key like any other, never looked up.
// A UTF-8 byte-order mark is kept and skipped; a UTF-16 file is not read and
// not changed (the Win32 functions convert it, which we do not need).
class IniDocument {
  public:
    static IniDocument Parse(std::string_view text);

    // The key's value, or none when the section, the key or its "=" is absent.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

    // Sets key=value, replacing the first line of that key in place, or adding
    // the key after the section's last non-blank line, or the section at the
    // end of the document. Leading blanks of the value are dropped, as Win32
    // does. False when nothing changed.
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes the first line of the key. False when it was absent.
    bool RemoveKey(std::string_view section, std::string_view key);
    // Removes the first section of the name with all its lines. False when
    // it was absent.
    bool RemoveSection(std::string_view section);

    // False for a document we must not change (UTF-16 text).
    bool Editable() const { return editable; }

    std::string Serialize() const;

  private:
    enum class Kind { Blank, Section, Key };
    struct Line {
        std::string text;     // as read, without the line end
        std::string lineEnd;  // "\r\n", "\n", "\r", or empty for a last line without one
        Kind kind = Kind::Blank;
        std::string name;                  // section name, or key name
        std::optional<std::string> value;  // key lines with "=" only
    };
    // The lines of one section: the header (when it has one) and its body.
    struct Range {
        std::optional<std::size_t> header;
        std::size_t begin = 0;  // first body line
        std::size_t end = 0;    // one past the last body line
    };

    static Line ParseLine(std::string text, std::string lineEnd);
    std::optional<Range> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(const Range& range, std::string_view key) const;
    std::string NewLineEnd() const;

    // Kept in front of the lines as it was: a UTF-8 byte-order mark, or the
    // whole text of a document that is not editable.
    std::string unparsed;
    bool editable = true;
    std::vector<Line> lines;
};

// The conversion of GetPrivateProfileIntA, on the text as it reads it:
// control characters and blanks, one sign, a base prefix "0x", "0o" or "0b"
// (lower case only), then the longest run of digits of that base, wrapping
// around in 32 bits. Text without digits gives 0.
int ProfileTextToInt(std::string_view text);

// The copy of GetPrivateProfileStringA: text enclosed in matching quotes
// loses them, a zero byte ends the text, and the rest is cut to size - 1
// characters and terminated. Returns the number of characters copied.
std::uint32_t CopyProfileText(std::string_view text, char* buffer, std::uint32_t size);

}  // namespace platform
