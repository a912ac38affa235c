#include "platform/IniDocument.h"

#include "platform/AsciiText.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    // isspace, and the end-of-file mark some editors leave behind.
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0x1a;
}

std::string_view TrimLeading(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

std::string_view Trim(std::string_view text) {
    text = TrimLeading(text);
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Names and values are C texts to the Win32 functions.
std::string_view CutAtZero(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

bool IsUtf16(std::string_view text) {
    return text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
}

}  // namespace

IniDocument::Line IniDocument::ParseLine(std::string text, std::string lineEnd) {
    Line line;
    const std::string_view content = Trim(text);
    const std::size_t close = content.find(']');
    if (content.empty()) {
        line.kind = Kind::Blank;
    } else if (content.front() == '[' && close != std::string_view::npos) {
        line.kind = Kind::Section;
        line.name = std::string(CutAtZero(Trim(content.substr(1, close - 1))));
    } else if (const std::size_t equals = content.find('='); equals != std::string_view::npos) {
        line.kind = Kind::Key;
        line.name = std::string(CutAtZero(Trim(content.substr(0, equals))));
        line.value = std::string(CutAtZero(Trim(content.substr(equals + 1))));
    } else {
        line.kind = Kind::Key;
        line.name = std::string(CutAtZero(content));
    }
    line.text = std::move(text);
    line.lineEnd = std::move(lineEnd);
    return line;
}

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument document;
    if (IsUtf16(text)) {
        document.editable = false;
        document.unparsed = std::string(text);
        return document;
    }
    if (text.starts_with(kUtf8Mark)) {
        document.unparsed = std::string(kUtf8Mark);
        text.remove_prefix(kUtf8Mark.size());
    }
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.find('\r'));
        const std::string_view content = text.substr(0, end);
        std::size_t endLength = 0;
        if (end != std::string_view::npos) {
            endLength = text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
        }
        document.lines.push_back(
            ParseLine(std::string(content), std::string(text.substr(content.size(), endLength))));
        text.remove_prefix(content.size() + endLength);
    }
    return document;
}

std::optional<IniDocument::Range> IniDocument::FindSection(std::string_view section) const {
    section = Trim(section);
    const auto nextHeader = [this](std::size_t from) {
        while (from < lines.size() && lines[from].kind != Kind::Section) {
            ++from;
        }
        return from;
    };
    // The unnamed section holds the lines before the first header; it always
    // exists, even empty.
    if (section.empty()) {
        return Range{std::nullopt, 0, nextHeader(0)};
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == Kind::Section && EqualsIgnoringAsciiCase(lines[i].name, section)) {
            return Range{i, i + 1, nextHeader(i + 1)};
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> IniDocument::FindKey(const Range& range, std::string_view key) const {
    key = Trim(key);
    for (std::size_t i = range.begin; i < range.end; ++i) {
        if (lines[i].kind == Kind::Key && EqualsIgnoringAsciiCase(lines[i].name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> IniDocument::Find(std::string_view section,
                                                  std::string_view key) const {
    const std::optional<Range> range = FindSection(section);
    if (!range) {
        return std::nullopt;
    }
    const std::optional<std::size_t> index = FindKey(*range, key);
    if (!index || !lines[*index].value) {
        return std::nullopt;
    }
    return std::string_view(*lines[*index].value);
}

std::string IniDocument::NewLineEnd() const {
    for (const Line& line : lines) {
        if (!line.lineEnd.empty()) {
            return line.lineEnd;
        }
    }
    return "\r\n";  // as Win32 writes, so that both platforms write the same files
}

bool IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (!editable) {
        return false;
    }
    section = Trim(section);
    key = Trim(key);
    value = TrimLeading(value);
    const std::string lineEnd = NewLineEnd();
    const auto endLastLine = [&](std::size_t count) {
        if (count > 0 && lines[count - 1].lineEnd.empty()) {
            lines[count - 1].lineEnd = lineEnd;
        }
    };

    const std::optional<Range> range = FindSection(section);
    if (!range) {
        endLastLine(lines.size());
        lines.push_back(ParseLine("[" + std::string(section) + "]", lineEnd));
        lines.push_back(ParseLine(std::string(key) + "=" + std::string(value), lineEnd));
        return true;
    }
    if (const std::optional<std::size_t> index = FindKey(*range, key)) {
        Line& line = lines[*index];
        if (line.value && *line.value == Trim(value)) {
            return false;  // a reader would see no difference
        }
        // The key keeps its spelling and its line end.
        line = ParseLine(line.name + "=" + std::string(value), std::move(line.lineEnd));
        return true;
    }
    // After the section's last non-blank line, so that blank lines between
    // sections stay where they are.
    std::size_t insertAt = range->begin;
    for (std::size_t i = range->begin; i < range->end; ++i) {
        if (lines[i].kind != Kind::Blank) {
            insertAt = i + 1;
        }
    }
    endLastLine(insertAt);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                 ParseLine(std::string(key) + "=" + std::string(value), lineEnd));
    return true;
}

bool IniDocument::RemoveKey(std::string_view section, std::string_view key) {
    const std::optional<Range> range = FindSection(section);
    const std::optional<std::size_t> index =
        editable && range ? FindKey(*range, key) : std::nullopt;
    if (!index) {
        return false;
    }
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*index));
    return true;
}

bool IniDocument::RemoveSection(std::string_view section) {
    const std::optional<Range> range = editable ? FindSection(section) : std::nullopt;
    if (!range) {
        return false;
    }
    const std::size_t first = range->header.value_or(range->begin);
    if (first == range->end) {
        return false;
    }
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(first),
                lines.begin() + static_cast<std::ptrdiff_t>(range->end));
    return true;
}

std::string IniDocument::Serialize() const {
    std::string text = unparsed;
    for (const Line& line : lines) {
        text += line.text;
        text += line.lineEnd;
    }
    return text;
}

int ProfileTextToInt(std::string_view text) {
    std::size_t i = 0;
    const auto at = [&](std::size_t index) {
        return index < text.size() ? static_cast<unsigned char>(text[index]) : 0u;
    };
    while (i < text.size() && at(i) <= ' ') {
        ++i;
    }
    bool negative = false;
    if (at(i) == '+' || at(i) == '-') {
        negative = at(i) == '-';
        ++i;
    }
    unsigned base = 10;
    if (at(i) == '0') {
        const unsigned prefix = at(i + 1);
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        i += base == 10 ? 0 : 2;
    }
    std::uint32_t value = 0;
    for (; i < text.size(); ++i) {
        const unsigned c = at(i);
        unsigned digit = base;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'z') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'Z') {
            digit = c - 'A' + 10;
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

std::uint32_t CopyProfileText(std::string_view text, char* buffer, std::uint32_t size) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    text = CutAtZero(text);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front()) {
        text = text.substr(1, text.size() - 2);
    }
    const std::size_t count = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<std::uint32_t>(count);
}

}  // namespace platform
