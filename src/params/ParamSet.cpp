#include "params/ParamSet.h"

#include <iterator>
#include <span>

#include "params/ModelFlags.h"

namespace {

// The columns of the family tables.
enum Family : std::size_t { kStandard, kColor, kH280 };

// One cell per family; a single value stands for all three.
template <typename T>
struct PerFamily {
    PerFamily(T all) : cells{all, all, all} {}
    PerFamily(T standard, T color, T h280) : cells{standard, color, h280} {}
    const T& operator[](std::size_t family) const { return cells[family]; }
    T cells[3];
};

template <typename T>
struct NumericRow {
    Param<T> ParamSet::*member;
    const char* name;
    PerFamily<std::uint32_t> registerAddress;
    PerFamily<T> initial;
    PerFamily<T> min;
    PerFamily<T> max;
};

struct EnumItem {
    const char* name;
    std::int32_t code;
};
using ItemList = std::span<const EnumItem>;

struct EnumRow {
    ParamEnum ParamSet::*member;
    const char* name;
    PerFamily<std::uint32_t> registerAddress;
    const char* initialItem;
    PerFamily<ItemList> items;  // added in this order
};

// Register 0xa0000000 stands where a family maps a parameter to no register
// of its own; 0 for the two log settings, which never go to the camera.

// clang-format off
const NumericRow<int> kIntParams[] = {
//   member                         name                 register: standard, colour, H280    initial         min             max
    {&ParamSet::LogLevel,           "LogLevel",          {0,          0,          0},          1,              1,              3},
    {&ParamSet::LogIntoFile,        "LogIntoFile",       {0,          0,          0},          0,              0,              1},
    {&ParamSet::Exposure,           "Exposure",          {0xa0002040, 0xa0002040, 0xa0002040}, 100,            10,             2000000},
    {&ParamSet::BlackLevel,         "BlackLevel",        {0xa0008038, 0xa0008038, 0xa0002038}, 1023,           0,              2047},
    {&ParamSet::ImageWidth,         "ImageWidth",        {0xa0000100, 0xa0000100, 0xa0000100}, 20000,          64,             20000},
    {&ParamSet::ImageHeight,        "ImageHeight",       {0xa0000104, 0xa0000104, 0xa0000104}, 20000,          120,            20000},
    {&ParamSet::ImageOffsetX,       "ImageOffsetX",      {0xa0000108, 0xa0000108, 0xa0000108}, 0,              0,              100},
    {&ParamSet::ImageOffsetY,       "ImageOffsetY",      {0xa000010c, 0xa000010c, 0xa000010c}, 0,              0,              100},
    {&ParamSet::Gain,               "Gain",              {0xa0002008, 0xa0002008, 0xa00030a0}, 0,              0,              502},
    {&ParamSet::GainRed,            "GainRed",           {0xa0000000, 0xa0003000, 0xa0000000}, {0, 1024, 0},   {0, 1024, 0},   {0, 16383, 0}},
    {&ParamSet::GainGreen,          "GainGreen",         {0xa0000000, 0xa0003008, 0xa0000000}, {0, 1024, 0},   {0, 1024, 0},   {0, 16383, 0}},
    {&ParamSet::GainBlue,           "GainBlue",          {0xa0000000, 0xa0003018, 0xa0000000}, {0, 1024, 0},   {0, 1024, 0},   {0, 16383, 0}},
    {&ParamSet::VerticalBinning,    "VerticalBinning",   {0xa0000114, 0xa0000114, 0xa0000114}, 0,              0,              1},
    {&ParamSet::HorizontalBinning,  "HorizontalBinning", {0xa0000118, 0xa0000118, 0xa0000118}, 0,              0,              1},
    {&ParamSet::BandAdjustment,     "BandAdjustment",    {0xa0000000, 0xa0000000, 0xa0000000}, 0,              0,              1},
    {&ParamSet::BandLevel,          "BandLevel",         {0xa0000000, 0xa0000000, 0xa0000000}, 0,              0,              100},
    {&ParamSet::TriggerDelay,       "TriggerDelay",      {0xa0002058, 0xa0002058, 0xa0002058}, 0,              0,              4000000},
    {&ParamSet::LineInverter1,      "LineInverter1",     {0xa0002070, 0xa00020a8, 0xa00020a8}, 0,              0,              1},
    {&ParamSet::LineInverter2,      "LineInverter2",     {0xa0002084, 0xa00020ac, 0xa00020ac}, 0,              0,              1},
    {&ParamSet::StrobeDuration1,    "StrobeDuration1",   {0xa0002078, 0xa0002078, 0xa0002078}, 1,              1,              4000},
    {&ParamSet::StrobeDuration2,    "StrobeDuration2",   {0xa000208c, 0xa000208c, 0xa000208c}, 1,              1,              4000},
    {&ParamSet::StrobeDelay1,       "StrobeDelay1",      {0xa0002074, 0xa0002074, 0xa0002074}, 0,              0,              4000},
    {&ParamSet::StrobeDelay2,       "StrobeDelay2",      {0xa0002088, 0xa0002088, 0xa0002088}, 0,              0,              4000},
};

const NumericRow<double> kDoubleParams[] = {
//   member                         name                 register: standard, colour, H280    initial         min             max
    {&ParamSet::FrameRate,          "FrameRate",         {0xa0000220, 0xa0000220, 0xa0000220}, 1.0,            1.0,            15.0},
    {&ParamSet::Gamma,              "Gamma",             {0xa0000310, 0xa0000310, 0xa0000000}, 0.7,            0.0,            1.0},
};

const EnumItem kOffOn[] = {{"Off", 0}, {"On", 1}};
const EnumItem kTriggerSources[] = {{"Hardware", 0}, {"Software", 1}};
const EnumItem kTriggerActivations[] = {{"Falling Edge", 4}, {"Low Level", 5}, {"Rising Edge", 6}, {"High Level", 7}};
const EnumItem kSensorTapsH280[] = {{"2", 2}, {"4", 4}};
const EnumItem kActiveGpos[] = {{"None", 0}, {"GPO1", 1}, {"GPO2", 2}};
const EnumItem kLineSources[] = {{"Exposure", 0}, {"Strobe", 1}, {"GPO", 2}};
const EnumItem kLineSourcesH280[] = {{"Exposure", 0}, {"Strobe", 1}, {"UserOutput0", 2}, {"UserOutput1", 3},
                                     {"Sensor Readout", 4}, {"Trigger Signal", 5}, {"True", 6}, {"False", 7}};
const EnumItem kColorFilters[] = {{"RGGB", 0}, {"GBRG", 1}, {"GRBG", 2}, {"BGGR", 3}};

const EnumRow kEnumParams[] = {
//   member                         name                 register: standard, colour, H280    initial item     items: standard, colour, H280
    {&ParamSet::TriggerMode,        "TriggerMode",       {0xa0002044, 0xa0002044, 0xa0002044}, "Off",           {kOffOn}},
    {&ParamSet::TriggerSource,      "TriggerSource",     {0xa0002098, 0xa0002098, 0xa0002098}, "Software",      {kTriggerSources}},
    {&ParamSet::TriggerActivation,  "TriggerActivation", {0xa0002048, 0xa0002048, 0xa0002048}, "Falling Edge",  {kTriggerActivations}},
    {&ParamSet::TriggerInhibit,     "TriggerInhibit",    {0xa0002050, 0xa0002050, 0xa0002050}, "Off",           {kOffOn}},
    {&ParamSet::SensorTaps,         "Sensor Taps",       {0xa0000000, 0xa0000000, 0xa0000124}, "2",             {{}, {}, kSensorTapsH280}},
    {&ParamSet::ActiveGPO,          "ActiveGPO",         {0xa0001104, 0xa0001104, 0xa0000354}, "None",          {kActiveGpos}},
    {&ParamSet::LineSource1,        "LineSource1",       {0xa000206c, 0xa000206c, 0xa000206c}, "Exposure",      {kLineSources, kLineSources, kLineSourcesH280}},
    {&ParamSet::LineSource2,        "LineSource2",       {0xa0002080, 0xa0002080, 0xa0002080}, "Exposure",      {kLineSources, kLineSources, kLineSourcesH280}},
    {&ParamSet::ColorFilter,        "ColorFilter",       {0xa0000000, 0xa0000000, 0xa0000000}, "RGGB",          {kColorFilters}},
};
// clang-format on

static_assert(std::size(kIntParams) + std::size(kDoubleParams) + std::size(kEnumParams) == 34,
              "every parameter of the set has one row");

template <typename T>
void DefineNumeric(ParamSet& set, const NumericRow<T>& row, std::size_t family) {
    set.*row.member = Param<T>(row.name, row.registerAddress[family], row.initial[family],
                               row.min[family], row.max[family]);
}

void DefineEnum(ParamSet& set, const EnumRow& row, std::size_t family) {
    ParamEnum& param = set.*row.member;
    param = ParamEnum(row.name, row.initialItem);
    param.registerAddress = row.registerAddress[family];
    param.ClearItems();
    for (const EnumItem& item : row.items[family]) {
        param.AddItem(item.name, item.code);
    }
    // The first item selected itself, but it is not always the initial one:
    // TriggerSource lists Hardware first and starts at Software.
    param.value = row.initialItem;
}

}  // namespace

void ParamSet::Define(std::uint32_t flags, std::string_view identity) {
    identityFlags = flags;
    identityString = std::string(identity);
    if ((flags & ModelH280) != 0) {
        DefineH280();
    } else if ((flags & ModelColor) != 0) {
        DefineColor();
    } else {
        DefineStandard();
    }
}

void ParamSet::DefineStandard() {
    DefineFamily(kStandard);
}

void ParamSet::DefineColor() {
    DefineFamily(kColor);
}

void ParamSet::DefineH280() {
    DefineFamily(kH280);
}

std::vector<ParamSet::Member> ParamSet::Members() {
    std::vector<Member> members;
    for (const NumericRow<int>& row : kIntParams) {
        members.emplace_back(&(this->*row.member));
    }
    for (const NumericRow<double>& row : kDoubleParams) {
        members.emplace_back(&(this->*row.member));
    }
    for (const EnumRow& row : kEnumParams) {
        members.emplace_back(&(this->*row.member));
    }
    return members;
}

void ParamSet::DefineFamily(std::size_t family) {
    for (const NumericRow<int>& row : kIntParams) {
        DefineNumeric(*this, row, family);
    }
    for (const NumericRow<double>& row : kDoubleParams) {
        DefineNumeric(*this, row, family);
    }
    for (const EnumRow& row : kEnumParams) {
        DefineEnum(*this, row, family);
    }
}
