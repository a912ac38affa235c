// Every row of the setting table, on every family, against the simulated
// camera: its register, its bounds and its names reach the camera, the INI
// file and the property names alike. A row left out of a pass, or a pass
// that reads another row's register, fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>
#include <variant>

#include "SimulatedDriver.h"
#include "ZURSim.h"
#include "camera/Camera.h"
#include "params/SettingTable.h"
#include "platform/Profile.h"

using testing_support::ClearJournal;
using testing_support::DriverSession;
using testing_support::RegisterWrites;
using testing_support::Write;

namespace {

struct FamilyCase {
    Family family;
    const char* model;
    const char* label;
};
const FamilyCase kFamilies[] = {{Family::Standard, "XCG-U100E", "Standard"},
                                {Family::Color, "XCG-U100CR", "Colour"},
                                {Family::H280, "XCG-H280E", "H280"}};
constexpr std::uint64_t kId = 5;

// Rows that go to their own register as they are, on the family.
bool PlainRegister(const SettingRow& row, Family family) {
    return (row.special == Special::None || row.special == Special::Gain) &&
           Includes(row.present, family) && row.registers[family] != kNoRegister;
}

// A value within the row's bounds (an item code of an enumeration), told
// apart by k from the value for k + 1.
int Distinct(const ParamSet& set, const SettingRow& row, int k) {
    return std::visit(
        [&](auto member) {
            const auto& param = set.*member;
            if constexpr (std::is_same_v<std::remove_cvref_t<decltype(param)>, ParamEnum>) {
                return param.codes.empty()
                           ? 0
                           : param.codes[static_cast<std::size_t>(k) % param.codes.size()];
            } else {
                const int min = static_cast<int>(std::ceil(param.min));
                const int span = std::max(1, static_cast<int>(param.max) - min + 1);
                return min + k % span;
            }
        },
        row.member);
}

// The register word of a value: decimal settings are single-precision floats.
std::uint32_t Word(const SettingRow& row, int value) {
    return std::holds_alternative<Param<double> ParamSet::*>(row.member)
               ? std::bit_cast<std::uint32_t>(static_cast<float>(value))
               : static_cast<std::uint32_t>(value);
}

// Limit pairs told apart by their address; the colour gains share one.
std::uint32_t MaxAt(std::uint32_t address) {
    return 5000 + (address & 0xFFF);
}

// The parameter's value as a property answers it.
int Stored(const ParamSet& set, const SettingRow& row) {
    return std::visit(
        [&](auto member) {
            const auto& param = set.*member;
            if constexpr (std::is_same_v<std::remove_cvref_t<decltype(param)>, ParamEnum>) {
                return param.CurrentCode();
            } else {
                return static_cast<int>(param.value);
            }
        },
        row.member);
}

void Store(ParamSet& set, const SettingRow& row, int value) {
    std::visit(
        [&](auto member) {
            auto& param = set.*member;
            if constexpr (std::is_same_v<std::remove_cvref_t<decltype(param)>, ParamEnum>) {
                param.SetByCode(value);
            } else {
                param.value = value;
            }
        },
        row.member);
}

class SettingRows : public ::testing::TestWithParam<FamilyCase> {
  protected:
    SettingRows() : session({{GetParam().model, kId}}) {}
    Camera& Opened() { return session.Open(std::string(GetParam().model) + "-5", 0); }
    Family family() const { return GetParam().family; }
    DriverSession session;
};

TEST_P(SettingRows, TheOpenWritesEveryRowToItsRegisterAndReadsItBack) {
    Camera& camera = Opened();
    ParamSet& set = camera.Params();
    int k = 1;
    for (const SettingRow& row : settings::Rows()) {
        if (!PlainRegister(row, family())) {
            continue;
        }
        SCOPED_TRACE(row.name);
        const std::uint32_t address = row.registers[family()];
        Store(set, row, Distinct(set, row, k));
        const int written = Stored(set, row);
        ClearJournal();
        camera.SetParameters();
        const auto writes = RegisterWrites();
        EXPECT_EQ(std::count(writes.begin(), writes.end(), Write(address, Word(row, written))), 1);
        const int poked = Distinct(set, row, k + 1);
        ASSERT_EQ(ZURSimPokeRegister(kId, address, Word(row, poked)), 1);
        camera.GetAllParametersFromCamera();
        EXPECT_EQ(Stored(set, row), poked);
        ++k;
    }
}

TEST_P(SettingRows, LimitRegistersBecomeTheBounds) {
    Camera& camera = Opened();
    for (const SettingRow& row : settings::Rows()) {
        if (row.limits.kind == LimitKind::Registers &&
            std::holds_alternative<Param<int> ParamSet::*>(row.member)) {
            const std::uint32_t address = row.limits.maxRegister;
            ASSERT_EQ(ZURSimPokeRegister(kId, address, MaxAt(address)), 1);
            ASSERT_EQ(ZURSimPokeRegister(kId, address + 4, MaxAt(address) - 4000), 1);
        }
    }
    camera.GetMinMaxValues();
    const ParamSet& set = camera.Params();
    for (const SettingRow& row : settings::Rows()) {
        const auto* member = std::get_if<Param<int> ParamSet::*>(&row.member);
        if (member == nullptr || row.limits.kind == LimitKind::Definition) {
            continue;
        }
        SCOPED_TRACE(row.name);
        const Param<int>& param = set.**member;
        const auto other = std::get<Param<int> ParamSet::*>(settings::Row(row.limits.other).member);
        switch (row.limits.kind) {
            case LimitKind::Registers:
                if (Includes(row.present, family())) {
                    EXPECT_EQ(param.max, static_cast<int>(MaxAt(row.limits.maxRegister)));
                    EXPECT_EQ(param.min, static_cast<int>(MaxAt(row.limits.maxRegister)) - 4000);
                }
                break;
            case LimitKind::Fixed:
                EXPECT_EQ(param.min, row.limits.fixedMin[family()]);
                EXPECT_EQ(param.max, row.limits.fixedMax[family()]);
                break;
            case LimitKind::OffsetOf:
                EXPECT_EQ(param.max, (set.*other).max - (set.*other).min);
                EXPECT_EQ(param.min, 0);
                break;
            case LimitKind::SameAs:
                EXPECT_EQ(param.max, (set.*other).max);
                EXPECT_EQ(param.min, (set.*other).min);
                break;
            case LimitKind::Definition:
                break;
        }
    }
}

TEST_P(SettingRows, EveryIniKeyIsSavedUnderItsNameAndLoadedBack) {
    Camera& camera = Opened();
    ParamSet& set = camera.Params();
    int k = 1;
    for (const Setting key : settings::IniKeys()) {
        Store(set, settings::Row(key), Distinct(set, settings::Row(key), k++));
    }
    ASSERT_TRUE(set.Save("rows"));
    const std::string path = DriverLog::Instance().IniFilePath();
    ParamSet loaded;
    loaded.Define(set.identityFlags, "");
    ASSERT_TRUE(loaded.Load("rows"));
    for (const Setting key : settings::IniKeys()) {
        const SettingRow& row = settings::Row(key);
        SCOPED_TRACE(row.name);
        char text[64];
        platform::GetProfileString("rows", row.name, "(absent)", text, sizeof text, path.c_str());
        EXPECT_NE(std::string(text), "(absent)");
        EXPECT_EQ(Stored(loaded, row), Stored(set, row));
    }
}

TEST_P(SettingRows, PropertyNamesReachTheirRows) {
    Camera& camera = Opened();
    ParamSet& set = camera.Params();
    for (const PropertyRef& ref : settings::GetOrder()) {
        const Setting* setting = std::get_if<Setting>(&ref);
        if (setting == nullptr || settings::Row(*setting).special == Special::DriverLog) {
            continue;
        }
        const SettingRow& row = settings::Row(*setting);
        SCOPED_TRACE(row.name);
        Store(set, row, Distinct(set, row, 3));
        for (const char* name : {row.getName.name, row.getName.alias}) {
            int answer = -12345;
            if (name != nullptr) {
                camera.GetProperty(name, &answer);
                EXPECT_EQ(answer, Includes(row.answeredOn, family()) ? Stored(set, row) : -12345);
            }
        }
    }
    for (const SettingRow& row : settings::Rows()) {
        if (row.setName.name == nullptr || !PlainRegister(row, family())) {
            continue;
        }
        SCOPED_TRACE(row.name);
        for (const char* name : {row.setName.name, row.setName.alias}) {
            if (name != nullptr) {
                const int value =
                    Distinct(set, row, Stored(set, row) == Distinct(set, row, 1) ? 2 : 1);
                ClearJournal();
                EXPECT_TRUE(camera.SetProperty(name, value));
                EXPECT_EQ(Stored(set, row), value);
                const auto writes = RegisterWrites();
                EXPECT_NE(std::find(writes.begin(), writes.end(),
                                    Write(row.registers[family()], Word(row, value))),
                          writes.end());
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Families, SettingRows, ::testing::ValuesIn(kFamilies),
                         [](const auto& tested) { return std::string(tested.param.label); });

}  // namespace
