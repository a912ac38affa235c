// Feeds arbitrary bytes to the INI document as file content, looks a key up,
// sets it and checks what must hold for any file: the text comes back byte
// for byte, a value that was set is found again, a second identical set
// changes nothing, and no other key changes its value.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/IniDocument.h"

namespace {

using platform::IniDocument;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

bool IsBlank(char c) {
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

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool HasAny(std::string_view text, std::string_view characters) {
    return text.find_first_of(characters) != std::string_view::npos;
}

const std::string_view kLineBreaks("\r\n\0", 3);

// What a set can write so that a reader finds it again: no line breaks or
// zero bytes anywhere, no "]" in a section, no "=" in a key, and no line
// "key=value" that reads as a section header or a byte-order mark.
bool CanBeFoundAgain(std::string_view section, std::string_view key, std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    // A key written at the top of a file could begin with a byte-order mark.
    const bool startsWithMark = key.starts_with("\xEF\xBB\xBF") || key.starts_with("\xFF\xFE") ||
                                key.starts_with("\xFE\xFF");
    const bool readsAsHeader = key.starts_with("[") && (HasAny(key, "]") || HasAny(value, "]"));
    return !HasAny(section, kLineBreaks) && !HasAny(section, "]") && !HasAny(key, kLineBreaks) &&
           !HasAny(key, "=") && !HasAny(value, kLineBreaks) && !readsAsHeader && !startsWithMark;
}

void Exercise(std::string_view text) {
    char buffer[256];
    const std::uint32_t count = platform::CopyProfileText(text, buffer, sizeof buffer);
    Check(count < sizeof buffer && buffer[count] == '\0', "copy is terminated within the buffer");
    platform::ProfileTextToInt(buffer);
    platform::ProfileTextToInt(text);
    char small[2];
    Check(platform::CopyProfileText(text, small, sizeof small) <= 1, "copy fits a small buffer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(40);
    const std::string key = input.ConsumeRandomLengthString(40);
    const std::string value = input.ConsumeRandomLengthString(300);
    const std::string otherSection = input.ConsumeRandomLengthString(40);
    const std::string otherKey = input.ConsumeRandomLengthString(40);
    const std::string text = input.ConsumeRemainingBytesAsString();

    const IniDocument original = IniDocument::Parse(text);
    Check(original.Serialize() == text, "parse and serialize give the text back");
    const auto before = original.Find(section, key);
    const auto otherBefore = original.Find(otherSection, otherKey);
    Exercise(before.value_or(""));
    Exercise(value);

    IniDocument document = original;
    const bool changed = document.Set(section, key, value);
    const std::string written = document.Serialize();
    Check(changed || written == text, "an unchanged document keeps its text");
    const IniDocument reread = IniDocument::Parse(written);
    Check(reread.Serialize() == written, "the new text reads back byte for byte");

    if (document.Editable() && CanBeFoundAgain(section, key, value)) {
        const auto found = reread.Find(section, key);
        Check(found && *found == Trim(value), "a value that was set is found again");
        IniDocument again = reread;
        Check(!again.Set(section, key, value), "setting the same value again changes nothing");
        const bool sameKey = EqualsIgnoringCase(Trim(section), Trim(otherSection)) &&
                             EqualsIgnoringCase(Trim(key), Trim(otherKey));
        if (!sameKey) {
            Check(reread.Find(otherSection, otherKey) == otherBefore,
                  "other keys keep their value");
        }
    }
    if (!document.Editable()) {
        Check(!changed, "a document that is not editable is not changed");
    }

    IniDocument removed = reread;
    if (removed.RemoveKey(section, key)) {
        Check(IniDocument::Parse(removed.Serialize()).Serialize() == removed.Serialize(),
              "text after removing a key reads back");
    }
    removed.RemoveSection(otherSection);
    Exercise(IniDocument::Parse(removed.Serialize()).Find(section, key).value_or(""));
    return 0;
}
