// The property table of the integrators' guide, made from the driver's own
// tables: every name that property access knows, the parameter that
// getProperty reads for it (from the setting table), and that parameter's
// initial value and bounds or codes in each camera family. The guide holds the table between two
// marker lines; this program fails when it differs from what the driver's tables make, or when the
// guide's notes on the properties name other properties.
//   guide_tables docs/INTEGRATING.md           check
//   guide_tables --write docs/INTEGRATING.md   renew the table in the guide
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "camera/Camera.h"
#include "params/ModelFlags.h"
#include "params/SettingTable.h"
#include "platform/AsciiText.h"

namespace {

constexpr const char* kBegin =
    "<!-- property table: made by tests/guide/GuideTables.cpp from the driver's tables; "
    "renew it with guide_tables --write -->";
constexpr const char* kEnd = "<!-- end of property table -->";
constexpr const char* kNotesHeader = "| Property | Unit | ";

struct FamilyColumn {
    const char* name;
    std::uint32_t flags;
};
constexpr FamilyColumn kFamilies[] = {
    {"standard", ModelMono}, {"colour", ModelColor}, {"H280", ModelMono | ModelH280}};

std::string Format(int value) {
    return std::to_string(value);
}

std::string Format(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string NameOf(const ParamSet::Member& member) {
    return std::visit([](const auto* param) { return param->name; }, member);
}

// The parameter's initial value with its bounds, or its codes, as a cell.
std::string Describe(const ParamSet::Member& member) {
    return std::visit(
        [](const auto* param) -> std::string {
            using Type = std::remove_cvref_t<decltype(*param)>;
            if constexpr (std::is_same_v<Type, ParamEnum>) {
                std::string cell;
                for (std::size_t i = 0; i < param->names.size(); ++i) {
                    cell += (i == 0 ? "" : ", ") + std::to_string(param->codes[i]) + " `" +
                            param->names[i] + "`";
                }
                return cell.empty() ? "no codes; answers " + std::to_string(param->CurrentCode())
                                    : cell + "; initial " + std::to_string(param->CurrentCode());
            } else {
                return Format(param->value) + " (" + Format(param->min) + " to " +
                       Format(param->max) + ")";
            }
        },
        member);
}

// What getProperty answers for a name on a camera of the family, as the
// setting table says: nothing, a value that is no parameter's (the driver's
// log switches, the continuous flag, the pixel size), or the parameter of a
// row, as its index among the set's members.
struct Answer {
    bool answered = false;
    std::optional<std::size_t> param;
};

Answer AnswerOf(const PropertyName& property, ::Family family, ParamSet& set) {
    for (const PropertyRef& ref : settings::GetOrder()) {
        const PropertyNames names = settings::GetNames(ref);
        if (!platform::EqualsIgnoringAsciiCase(property.name, names.name)) {
            continue;
        }
        const Setting* setting = std::get_if<Setting>(&ref);
        if (setting == nullptr) {
            return {true, std::nullopt};
        }
        const SettingRow& row = settings::Row(*setting);
        if (!Includes(row.answeredOn, family)) {
            return {};
        }
        if (row.special == Special::DriverLog) {
            return {true, std::nullopt};
        }
        const std::vector<ParamSet::Member> members = set.Members();
        for (std::size_t k = 0; k < members.size(); ++k) {
            if (NameOf(members[k]) == row.name) {
                return {true, k};
            }
        }
    }
    return {property.readable, std::nullopt};  // a name of no setting: PixelSize
}

// "text" for all three families alike, else "standard, H280: text; colour: other".
std::string PerFamily(const std::vector<std::string>& cells) {
    std::vector<std::pair<std::string, std::string>> groups;  // families, text
    for (std::size_t f = 0; f < cells.size(); ++f) {
        const auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& known) {
            return known.second == cells[f];
        });
        if (group == groups.end()) {
            groups.push_back({kFamilies[f].name, cells[f]});
        } else {
            group->first += std::string(", ") + kFamilies[f].name;
        }
    }
    if (groups.size() == 1) {
        return groups.front().second;
    }
    std::string text;
    for (const auto& [families, cell] : groups) {
        text += (text.empty() ? "" : "; ") + families + ": " + cell;
    }
    return text;
}

struct Table {
    std::string markdown;
    std::vector<std::string> firstCells;
    std::string error;
};

Table MakeTable() {
    Table table;
    table.markdown =
        "| Property | `getProperty` | `setProperty` | Parameter | Family definition: initial value "
        "(bounds), or codes |\n|---|---|---|---|---|\n";
    const std::vector<PropertyName> properties = Camera::KnownProperties();
    std::vector<ParamSet> defined(std::size(kFamilies));
    std::vector<std::vector<Answer>> answers(properties.size());  // [property][family]
    for (std::size_t f = 0; f < std::size(kFamilies); ++f) {
        defined[f].Define(kFamilies[f].flags, "guide");
        for (std::size_t p = 0; p < properties.size(); ++p) {
            answers[p].push_back(AnswerOf(properties[p], FamilyOf(kFamilies[f].flags), defined[f]));
        }
    }
    std::vector<bool> read(defined.front().Members().size());
    for (std::size_t p = 0; p < properties.size(); ++p) {
        const PropertyName& property = properties[p];
        std::string families;
        std::optional<std::size_t> param;
        for (std::size_t f = 0; f < std::size(kFamilies); ++f) {
            const Answer& answer = answers[p][f];
            if (!answer.answered) {
                continue;
            }
            const std::optional<std::size_t> marked = answer.param;
            if (!families.empty() && param != marked) {
                table.error += "getProperty reads another parameter for " + property.name + " on " +
                               kFamilies[f].name + " cameras\n";
            }
            families += (families.empty() ? "" : ", ") + std::string(kFamilies[f].name);
            param = marked;
        }
        std::string names = "`" + property.name + "`";
        if (!property.alias.empty()) {
            names += ", `" + property.alias + "`";
        }
        std::string get = families.empty()                       ? "no"
                          : families == "standard, colour, H280" ? "yes"
                                                                 : families;
        std::string parameter = "—";
        std::string values = "—";
        if (param) {
            read[*param] = true;
            const ParamSet::Member first = defined.front().Members()[*param];
            parameter = "`" + NameOf(first) + "`";
            if (std::holds_alternative<Param<double>*>(first)) {
                get += " (whole part)";
            }
            std::vector<std::string> cells;
            for (ParamSet& set : defined) {
                cells.push_back(Describe(set.Members()[*param]));
            }
            values = PerFamily(cells);
        }
        table.firstCells.push_back(names);
        table.markdown += "| " + names + " | " + get + " | " + (property.writable ? "yes" : "no") +
                          " | " + parameter + " | " + values + " |\n";
    }
    std::string unread;
    for (std::size_t k = 0; k < read.size(); ++k) {
        if (!read[k]) {
            unread += (unread.empty() ? "`" : ", `") + NameOf(defined.front().Members()[k]) + "`";
        }
    }
    table.markdown += "\nParameters that no property reads: " + unread + ".\n";
    return table;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The first cells of the rows of the table whose header starts with header.
std::vector<std::string> FirstCells(const std::vector<std::string>& lines,
                                    const std::string& header) {
    std::vector<std::string> cells;
    std::size_t i = 0;
    while (i < lines.size() && lines[i].rfind(header, 0) != 0) {
        ++i;
    }
    for (i += 2; i < lines.size() && lines[i].rfind("| ", 0) == 0; ++i) {
        cells.push_back(lines[i].substr(2, lines[i].find(" |", 2) - 2));
    }
    return cells;
}

}  // namespace

int main(int argc, char** argv) {
    const bool write = argc == 3 && std::string(argv[1]) == "--write";
    if (argc != 2 && !write) {
        std::fprintf(stderr, "usage: guide_tables [--write] INTEGRATING.md\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::string> lines =
        Lines(std::string(std::istreambuf_iterator<char>(in), {}));
    // The index of the first line from `from` on that is marker, or the line count.
    const auto find = [&lines](const char* marker, std::size_t from) {
        const auto first = lines.begin() + static_cast<std::ptrdiff_t>(from);
        return static_cast<std::size_t>(std::find(first, lines.end(), marker) - lines.begin());
    };
    const std::size_t begin = find(kBegin, 0);
    const std::size_t end = find(kEnd, begin);
    if (end >= lines.size()) {
        std::fprintf(stderr, "%s: no lines\n%s\n...\n%s\n", path, kBegin, kEnd);
        return 1;
    }
    const Table table = MakeTable();
    const std::vector<std::string> wanted = Lines(table.markdown);
    const std::vector<std::string> found(lines.begin() + static_cast<std::ptrdiff_t>(begin) + 1,
                                         lines.begin() + static_cast<std::ptrdiff_t>(end));
    if (write) {
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i == end) {
                out << table.markdown;
            }
            if (i <= begin || i >= end) {
                out << lines[i] << '\n';
            }
        }
        return table.error.empty() ? 0 : 1;
    }
    int failures = 0;
    if (found != wanted) {
        std::fprintf(stderr,
                     "%s: the property table differs from the driver's tables "
                     "(- guide, + driver); renew it with guide_tables --write and describe "
                     "what changed:\n",
                     path);
        for (const std::string& line : found) {
            if (std::find(wanted.begin(), wanted.end(), line) == wanted.end()) {
                std::fprintf(stderr, "- %s\n", line.c_str());
            }
        }
        for (const std::string& line : wanted) {
            if (std::find(found.begin(), found.end(), line) == found.end()) {
                std::fprintf(stderr, "+ %s\n", line.c_str());
            }
        }
        ++failures;
    }
    const std::vector<std::string> notes = FirstCells(lines, kNotesHeader);
    if (notes != table.firstCells) {
        const auto [note, property] = std::mismatch(
            notes.begin(), notes.end(), table.firstCells.begin(), table.firstCells.end());
        std::fprintf(stderr,
                     "%s: the table \"%s...\" must describe the properties of the property table, "
                     "one row each, in its order: it has %s where %s is due\n",
                     path, kNotesHeader, note != notes.end() ? note->c_str() : "no row",
                     property != table.firstCells.end() ? property->c_str() : "no row");
        ++failures;
    }
    if (!table.error.empty()) {
        std::fprintf(stderr, "%s", table.error.c_str());
        ++failures;
    }
    if (failures == 0) {
        std::printf("%s: the property table is the driver's (%zu properties)\n", path,
                    table.firstCells.size());
    }
    return failures == 0 ? 0 : 1;
}
