#include "platform/IniDocument.h"

#include <algorithm>

namespace platform {
namespace {

bool IsBlank(char c) {
    // isspace, and the end-of-file mark some editors leave behind.
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0x1a;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

}  // namespace

IniDocument::Line IniDocument::ParseLine(std::string text, std::string lineEnd) {
    Line line;
    const std::string_view content = Trim(text);
    const std::size_t close = content.find(']');
    if (!content.empty() && content.front() == '[' && close != std::string_view::npos) {
        line.isSection = true;
        line.name = std::string(content.substr(1, close - 1));
    } else if (const std::size_t equals = content.find('='); equals != std::string_view::npos) {
        line.name = std::string(Trim(content.substr(0, equals)));
        line.value = std::string(Trim(content.substr(equals + 1)));
    } else {
        line.name = std::string(content);
    }
    line.text = std::move(text);
    line.lineEnd = std::move(lineEnd);
    return line;
}

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument document;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        std::string_view content = text.substr(0, newline);
        std::string lineEnd;
        if (newline == std::string_view::npos) {
            text = {};
        } else {
            lineEnd = "\n";
            if (!content.empty() && content.back() == '\r') {
                content.remove_suffix(1);
                lineEnd = "\r\n";
            }
            text.remove_prefix(newline + 1);
        }
        document.lines.push_back(ParseLine(std::string(content), std::move(lineEnd)));
    }
    return document;
}

std::optional<std::size_t> IniDocument::FindSection(std::string_view section) const {
    section = Trim(section);
    // Lines before the first header form a section without a name.
    if (section.empty() && (lines.empty() || !lines.front().isSection)) {
        return 0;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].isSection && EqualsIgnoringCase(lines[i].name, section)) {
            return i;
        }
    }
    return std::nullopt;
}

std::size_t IniDocument::SectionEnd(std::size_t sectionStart) const {
    std::size_t end = sectionStart + 1;
    while (end < lines.size() && !lines[end].isSection) {
        ++end;
    }
    return end;
}

std::optional<std::string_view> IniDocument::Find(std::string_view section,
                                                  std::string_view key) const {
    const std::optional<std::size_t> start = FindSection(section);
    if (!start) {
        return std::nullopt;
    }
    key = Trim(key);
    const std::size_t first = lines.empty() || !lines[*start].isSection ? *start : *start + 1;
    for (std::size_t i = first; i < SectionEnd(*start) && i < lines.size(); ++i) {
        if (!lines[i].isSection && EqualsIgnoringCase(lines[i].name, key)) {
            if (!lines[i].value) {
                return std::nullopt;
            }
            return std::string_view(*lines[i].value);
        }
    }
    return std::nullopt;
}

std::string IniDocument::NewLineEnd() const {
    for (const Line& line : lines) {
        if (!line.lineEnd.empty()) {
            return line.lineEnd;
        }
    }
    return "\n";
}

bool IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    key = Trim(key);
    section = Trim(section);
    value = Trim(value);
    const std::string lineEnd = NewLineEnd();
    const auto keyLine = [&](std::string_view name) {
        return ParseLine(std::string(name) + "=" + std::string(value), lineEnd);
    };

    std::optional<std::size_t> start = FindSection(section);
    if (!start) {
        if (!lines.empty() && lines.back().lineEnd.empty()) {
            lines.back().lineEnd = lineEnd;
        }
        lines.push_back(ParseLine("[" + std::string(section) + "]", lineEnd));
        lines.push_back(keyLine(key));
        return true;
    }

    const std::size_t end = SectionEnd(*start);
    const std::size_t first = lines.empty() || !lines[*start].isSection ? *start : *start + 1;
    std::size_t insertAt = first;
    for (std::size_t i = first; i < end && i < lines.size(); ++i) {
        Line& line = lines[i];
        if (!line.isSection && EqualsIgnoringCase(line.name, key)) {
            if (line.value && *line.value == value) {
                return false;
            }
            std::string oldEnd = std::move(line.lineEnd);
            line = keyLine(line.name);
            line.lineEnd = std::move(oldEnd);
            return true;
        }
        if (!Trim(line.text).empty()) {
            insertAt = i + 1;  // after the section's last non-blank line
        }
    }
    if (insertAt > 0 && lines[insertAt - 1].lineEnd.empty()) {
        lines[insertAt - 1].lineEnd = lineEnd;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), keyLine(key));
    return true;
}

std::string IniDocument::Serialize() const {
    std::string text;
    for (const Line& line : lines) {
        text += line.text;
        text += line.lineEnd;
    }
    return text;
}

}  // namespace platform
