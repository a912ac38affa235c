#pragma once

#include <cstdint>

// What a ZUR error code (ZURGetLastError) means, for the log.
const char* ZurErrorText(std::uint32_t error);
