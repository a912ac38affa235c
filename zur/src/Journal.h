#pragma once

// The record of every ZUR call, for tests that check what the driver did.
// Not locked: the simulator's own lock guards it.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace zursim {

class Journal {
  public:
    // Entries kept; the oldest are dropped beyond this, so a long run stays bounded.
    static constexpr std::size_t kCapacity = 100000;
    // The result of an entry whose call has not returned yet.
    static constexpr std::int32_t kPending = -1;

    // Appends an entry for a call that is starting; returns its serial number.
    std::uint64_t Begin(std::string text);
    // Sets the result of the entry with this serial, if it is still kept.
    void Finish(std::uint64_t serial, std::int32_t result);

    std::size_t Count() const { return entries.size(); }
    struct Entry {
        std::uint64_t serial = 0;
        std::string text;
        std::int32_t result = kPending;
    };
    // Entry `index`, 0 being the oldest kept.
    std::optional<Entry> At(std::size_t index) const;
    void Clear() { entries.clear(); }

  private:
    std::deque<Entry> entries;
    std::uint64_t nextSerial = 1;
};

// "0x" and 8 lower-case hex digits.
std::string Hex8(std::uint32_t value);

}  // namespace zursim
