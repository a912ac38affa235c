#pragma once

#include <cstdint>
#include <string>

// The camera of each family that the screenshot programs show the sheet for
// (scripts/screenshot-sheet.sh, scripts/screenshot-sheet-gtk.sh).
struct SnapshotFamily {
    const char* name;
    const char* model;
    std::uint64_t deviceId;
    const char* camera;
};

inline constexpr SnapshotFamily kSnapshotFamilies[] = {
    {"standard", "XCG-U100E", 4660, "XCG-U100E-4660"},
    {"color", "XCG-5005CR", 4661, "XCG-5005CR-4661"},
    {"h280", "XCG-H280E", 4662, "XCG-H280E-4662"},
};

// The family named name; nullptr when there is none.
inline const SnapshotFamily* FindSnapshotFamily(const std::string& name) {
    for (const SnapshotFamily& family : kSnapshotFamilies) {
        if (name == family.name) {
            return &family;
        }
    }
    return nullptr;
}
