#pragma once

// The driver's own failure, raised by failed registry lookups and
// allocations and caught only by the exports (driver/ExportPolicy.h).
// Deliberately not a std::exception: an export reports the two kinds with
// different texts.
struct DriverError {
    const char* text = "Err";
};
