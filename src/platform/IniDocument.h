#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// An INI file held line by line, so that a change rewrites one line and leaves
// every other byte of the file as it was. Lookups follow the Win32 profile
// functions: section and key names match without regard to ASCII letter case
// and surrounding blanks, only the first section of a name is searched, the
// first key of a name wins, and a line without "=" has no value.
class IniDocument {
  public:
    static IniDocument Parse(std::string_view text);

    // The key's value, or none when the section, the key or its "=" is absent.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

    // Sets key=value, adding the key at the end of the section's lines, or the
    // section at the end of the document, when absent. False when nothing
    // changed.
    bool Set(std::string_view section, std::string_view key, std::string_view value);

    std::string Serialize() const;

  private:
    struct Line {
        std::string text;     // as read, without the line end
        std::string lineEnd;  // "\n", "\r\n", or empty for a last line without one
        bool isSection = false;
        std::string name;                  // section name, or key name
        std::optional<std::string> value;  // key lines with "=" only
    };

    static Line ParseLine(std::string text, std::string lineEnd);
    // Index of the first line of the first section of that name (the header
    // line, or 0 for the unnamed lines before the first header), or none.
    std::optional<std::size_t> FindSection(std::string_view section) const;
    std::size_t SectionEnd(std::size_t sectionStart) const;
    std::string NewLineEnd() const;

    std::vector<Line> lines;
};

}  // namespace platform
