// PNG pictures of frames, for a person to look at: 8-bit RGB, written
// without a compression library (stored deflate blocks), so the Windows and
// Linux builds of the tools write them alike. The file appears under its
// name only when complete (a temporary file renamed into place).
// Thread-safety: no shared state.
#pragma once

#include <cstdint>
#include <string>

namespace qvraw {

// `pixels` holds `height` rows of `width` pixels 0x00RRGGBB, top row first.
// False with a message in *error when the file cannot be written.
bool writePng(const std::string& path, const std::uint32_t* pixels, int width, int height,
              std::string* error);

}  // namespace qvraw
