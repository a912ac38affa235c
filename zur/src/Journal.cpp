#include "Journal.h"

#include <cstdio>

namespace zursim {

std::uint64_t Journal::Begin(std::string text) {
    if (entries.size() >= kCapacity) {
        entries.pop_front();
    }
    const std::uint64_t serial = nextSerial++;
    entries.push_back(Entry{serial, std::move(text), kPending});
    return serial;
}

void Journal::Finish(std::uint64_t serial, std::int32_t result) {
    // Serials ascend with the position, so the entry sits at a known offset.
    if (entries.empty() || serial < entries.front().serial) {
        return;
    }
    const std::uint64_t offset = serial - entries.front().serial;
    if (offset < entries.size()) {
        entries[static_cast<std::size_t>(offset)].result = result;
    }
}

std::optional<Journal::Entry> Journal::At(std::size_t index) const {
    if (index >= entries.size()) {
        return std::nullopt;
    }
    return entries[index];
}

std::string Hex8(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
    return text;
}

}  // namespace zursim
