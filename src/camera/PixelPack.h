#pragma once

#include <cstddef>
#include <cstdint>

// Packs pixels of four bytes into pixels of three, keeping each pixel's first
// three bytes in their order and dropping the fourth: the colour conversion
// writes four bytes per pixel, the host reads three. source holds 4 × pixels
// bytes, target receives 3 × pixels bytes. A large image is written with
// streaming stores, around the caches.
void PackFourToThree(const std::uint8_t* source, std::uint8_t* target, std::size_t pixels);

// The portable version, whatever the processor offers; for tests and the
// benchmark.
void PackFourToThreePortable(const std::uint8_t* source, std::uint8_t* target, std::size_t pixels);
