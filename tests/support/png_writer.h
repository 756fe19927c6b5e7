// A minimal PNG writer so tests can leave pictures for a person to look at.
//
// Writes 8-bit RGB, uncompressed (stored deflate blocks), so it needs no
// compression library; files are about 3 bytes per pixel.
//
// Input pixels are 32-bit 0x00RRGGBB (blue in the lowest byte), the layout of
// our device-context bitmaps. `topRow` is the first picture row as seen on
// screen and `pitch` the signed byte distance to the next row DOWN the
// picture; a bottom-up bitmap is therefore passed with its last stored row
// and a negative pitch (writeBottomUpPng does that). Every pixel is repeated
// `scale` times in both directions (nearest neighbour), for close looks.
//
// Thread-safety: the functions share no state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qvtest {

// False, with a message in *error (if given), for bad arguments or when the
// file cannot be written completely.
bool writePng(const std::string& path, const std::uint32_t* topRow, int width, int height,
              std::ptrdiff_t pitch, int scale = 1, std::string* error = nullptr);

// `bottomRow` is the first stored row of a bottom-up bitmap (the lowest
// picture row), `pitch` the positive byte distance between stored rows.
bool writeBottomUpPng(const std::string& path, const std::uint32_t* bottomRow, int width,
                      int height, std::ptrdiff_t pitch, int scale = 1,
                      std::string* error = nullptr);

}  // namespace qvtest
