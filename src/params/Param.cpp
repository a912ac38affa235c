#include "params/Param.h"

#include <algorithm>

void ParamEnum::ClearItems() {
    names.clear();
    codes.clear();
}

void ParamEnum::AddItem(const char* itemName, std::int32_t code) {
    if (itemName == nullptr || *itemName == '\0') {
        return;
    }
    names.resize(ItemCount());
    codes.resize(ItemCount());
    names.emplace_back(itemName);
    codes.push_back(code);
    if (names.size() == 1) {
        value = names.front();
    }
}

std::int32_t ParamEnum::CodeOf(const char* text) const {
    return text != nullptr ? CodeOf(std::string_view(text)) : 0;
}

std::int32_t ParamEnum::CodeOf(std::string_view text) const {
    if (text.empty()) {
        return 0;
    }
    for (std::size_t i = 0; i < ItemCount(); ++i) {
        if (names[i] == text) {
            return codes[i];
        }
    }
    return 0;
}

void ParamEnum::SetByCode(std::int32_t code) {
    for (std::size_t i = 0; i < ItemCount(); ++i) {
        if (codes[i] == code) {
            value = names[i];
            return;
        }
    }
}

std::int32_t ParamEnum::MinCode() const {
    const auto end = codes.begin() + static_cast<std::ptrdiff_t>(ItemCount());
    return ItemCount() == 0 ? 0 : *std::min_element(codes.begin(), end);
}

std::int32_t ParamEnum::MaxCode() const {
    const auto end = codes.begin() + static_cast<std::ptrdiff_t>(ItemCount());
    return ItemCount() == 0 ? 0 : *std::max_element(codes.begin(), end);
}
