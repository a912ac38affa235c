// The dialog templates and the pages' tables name the same controls: a
// control that one has and the other lacks would be read as empty text.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "ui/SheetPages.h"

namespace {

struct Template {
    std::string caption;
    std::string font;
    std::map<int, std::string> controls;  // id -> EDITTEXT, COMBOBOX, CHECKBOX or LTEXT
};

// The ids the resource script names, from the header beside it.
std::map<std::string, std::string> ReadIds() {
    const std::string rc = ZAVADED_SHEET_RC;
    std::ifstream header(rc.substr(0, rc.find_last_of('/') + 1) + "SheetControlIds.h");
    std::map<std::string, std::string> ids;
    const std::regex define(R"(^#define (ID[CD]_\w+) (\d+))");
    std::smatch match;
    for (std::string line; std::getline(header, line);) {
        if (std::regex_search(line, match, define)) {
            ids[match[1]] = match[2];
        }
    }
    return ids;
}

// A line of the script with its ids as numbers.
std::string Expanded(std::string line, const std::map<std::string, std::string>& ids) {
    const std::regex name(R"(\bID[CD]_\w+)");
    std::smatch match;
    while (std::regex_search(line, match, name)) {
        const auto id = ids.find(match[0]);
        const std::string number = id != ids.end() ? id->second : "?";
        line.replace(static_cast<std::size_t>(match.position(0)),
                     static_cast<std::size_t>(match.length(0)), number);
    }
    return line;
}

// The templates of the resource script, by number.
std::map<int, Template> ReadTemplates() {
    const std::map<std::string, std::string> ids = ReadIds();
    std::ifstream script(ZAVADED_SHEET_RC);
    std::map<int, Template> templates;
    const std::regex start(R"(^(\d+) DIALOGEX)");
    const std::regex caption(R"(^CAPTION "(.*)\")");
    const std::regex font(R"(^FONT \d+, "([^"]*)\")");
    const std::regex control(R"(^\s+(EDITTEXT|COMBOBOX)\s+(\d+),)");
    const std::regex labelled(R"(^\s+(LTEXT|CONTROL)\s+"[^"]*",\s*(-?\d+),(.*))");
    Template* current = nullptr;
    std::smatch match;
    for (std::string text; std::getline(script, text);) {
        const std::string line = Expanded(text, ids);
        if (std::regex_search(line, match, start)) {
            current = &templates[std::stoi(match[1])];
        } else if (current == nullptr) {
            continue;
        } else if (std::regex_search(line, match, caption)) {
            current->caption = match[1];
        } else if (std::regex_search(line, match, font)) {
            current->font = match[1];
        } else if (std::regex_search(line, match, control)) {
            current->controls[std::stoi(match[2])] = match[1];
        } else if (std::regex_search(line, match, labelled) && std::stoi(match[2]) != -1) {
            const bool checkBox = match[3].str().find("BS_AUTOCHECKBOX") != std::string::npos;
            current->controls[std::stoi(match[2])] = checkBox ? "CHECKBOX" : match[1].str();
        }
    }
    return templates;
}

std::string ResourceKind(ControlKind kind) {
    switch (kind) {
        case ControlKind::IntegerEdit:
        case ControlKind::DecimalEdit:
            return "EDITTEXT";
        case ControlKind::ComboBox:
            return "COMBOBOX";
        case ControlKind::CheckBox:
            return "CHECKBOX";
    }
    return "?";
}

void ExpectSameControls(const PropertyPage& page, const Template& dialog, const char* font) {
    SCOPED_TRACE(page.Caption());
    EXPECT_EQ(dialog.caption, page.Caption());
    EXPECT_EQ(dialog.font, font);
    std::map<int, std::string> expected;
    for (const ControlRow& row : page.Controls()) {
        expected[row.id] = ResourceKind(row.kind);
        if (row.rangeLabelId != kNoRangeLabel) {
            expected[row.rangeLabelId] = "LTEXT";
        }
    }
    EXPECT_EQ(dialog.controls, expected);
}

TEST(SheetResources, TemplatesHoldExactlyTheControlsOfTheirPages) {
    const std::map<int, Template> templates = ReadTemplates();
    ASSERT_EQ(templates.size(), 3u);
    ParamSet params;
    CSheet1 sheet("", nullptr);
    const CPropCameraControls cameraControls(params, sheet, false, false);
    const CPropIO io(params, sheet);
    const CPropColor color(params, sheet);
    ExpectSameControls(cameraControls, templates.at(140), "Microsoft Sans Serif");
    ExpectSameControls(io, templates.at(141), "Arial");
    ExpectSameControls(color, templates.at(142), "Microsoft Sans Serif");
}

}  // namespace
