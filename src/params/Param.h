#pragma once

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// One camera setting: its name (also its INI key and property name), its
// value, its inclusive bounds, and the GigE register it is written to. The
// fields are public: the feature setters, the property access and the sheet
// read and write them directly.
//
// The destructor is not virtual on purpose: parameters live by value inside a
// ParamSet and are never deleted through a pointer to a base.
template <typename T>
class Param {
  public:
    std::string name;
    T value{};
    T max{};
    T min{};
    std::uint32_t registerAddress = 0;

    Param() = default;

    // Note the order: min before max, while they are stored the other way round.
    Param(const char* paramName, std::uint32_t address, T initial, T minimum,
          T maximum) requires std::is_arithmetic_v<T> : name(paramName != nullptr ? paramName : ""),
                                                        value(initial),
                                                        max(maximum),
                                                        min(minimum),
                                                        registerAddress(address) {}

    // A text has no bounds of its own; they are set to the initial text.
    Param(const char* paramName, const char* initial) requires std::same_as<T, std::string>
        : name(paramName != nullptr ? paramName : ""),
          value(initial != nullptr ? initial : ""),
          max(value),
          min(value) {}

    // Both ends inclusive; a NaN is out of range.
    bool InRange() const requires std::is_arithmetic_v<T> { return min <= value && value <= max; }

    virtual std::ostream& Print(std::ostream& out) const {
        return out << name << "=" << value << "\n";
    }

    bool operator==(const Param&) const = default;
};

// A setting with a fixed list of items: value holds the selected item's name,
// and codes[i] is the number written to the register for names[i].
//
// Code 0 is a genuine item code ("Off", "Hardware", "None", "Exposure",
// "RGGB"), so CodeOf cannot tell a failed match from such an item: callers
// that take a code from outside check it against MinCode and MaxCode first.
class ParamEnum : public Param<std::string> {
  public:
    std::vector<std::string> names;
    std::vector<std::int32_t> codes;

    ParamEnum() = default;
    ParamEnum(const char* paramName, const char* initialItem)
        : Param<std::string>(paramName, initialItem) {}

    // Empties the lists; the value stays.
    void ClearItems();
    // Appends an item; a null or empty name is ignored. The first item added
    // to an empty list becomes the value.
    void AddItem(const char* itemName, std::int32_t code);
    // The code of the first item whose name equals text exactly; 0 for a null
    // or empty text or no match.
    std::int32_t CodeOf(const char* text) const;
    std::int32_t CodeOf(std::string_view text) const;
    std::int32_t CurrentCode() const { return CodeOf(std::string_view(value)); }
    // Selects the first item with the code; no match leaves the value as it was.
    void SetByCode(std::int32_t code);
    // The smallest / largest code; 0 without items.
    std::int32_t MinCode() const;
    std::int32_t MaxCode() const;

    bool operator==(const ParamEnum&) const = default;

  private:
    // names and codes are public; a caller could leave them of unequal length.
    std::size_t ItemCount() const { return std::min(names.size(), codes.size()); }
};
