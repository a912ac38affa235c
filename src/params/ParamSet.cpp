#include "params/ParamSet.h"

#include <type_traits>
#include <variant>

#include "params/ModelFlags.h"
#include "params/SettingTable.h"

namespace {

void DefineSetting(ParamSet& set, const SettingRow& row, Family family) {
    std::visit(
        [&](auto member) {
            using Type = std::remove_cvref_t<decltype(set.*member)>;
            if constexpr (std::is_same_v<Type, ParamEnum>) {
                ParamEnum& param = set.*member;
                param = ParamEnum(row.name, row.initialItem);
                param.registerAddress = row.registers[family];
                param.ClearItems();
                for (const EnumItem& item : row.items[family]) {
                    param.AddItem(item.name, item.code);
                }
                // The first item selected itself, but it is not always the
                // initial one: TriggerSource lists Hardware first and starts
                // at Software.
                param.value = row.initialItem;
            } else {
                using T = decltype(Type::value);
                set.*member =
                    Type(row.name, row.registers[family], static_cast<T>(row.initial[family]),
                         static_cast<T>(row.min[family]), static_cast<T>(row.max[family]));
            }
        },
        row.member);
}

}  // namespace

void ParamSet::Define(std::uint32_t flags, std::string_view identity) {
    identityFlags = flags;
    identityString = std::string(identity);
    DefineFamily(FamilyOf(flags));
}

void ParamSet::DefineStandard() {
    DefineFamily(Family::Standard);
}

void ParamSet::DefineColor() {
    DefineFamily(Family::Color);
}

void ParamSet::DefineH280() {
    DefineFamily(Family::H280);
}

std::vector<ParamSet::Member> ParamSet::Members() {
    // Grouped by type, integers first, as the parameters were always listed.
    std::vector<Member> members;
    for (std::size_t type = 0; type < std::variant_size_v<SettingMember>; ++type) {
        for (const SettingRow& row : settings::Rows()) {
            if (row.member.index() == type) {
                std::visit([&](auto member) { members.emplace_back(&(this->*member)); },
                           row.member);
            }
        }
    }
    return members;
}

void ParamSet::DefineFamily(Family family) {
    for (const SettingRow& row : settings::Rows()) {
        DefineSetting(*this, row, family);
    }
}
