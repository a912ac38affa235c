#pragma once

// The driver's own failure, raised by failed registry lookups and
// allocations and caught only by the export frame. Deliberately not a
// std::exception: the frame reports the two kinds with different messages.
struct DriverError {
    const char* text = "Err";
};
