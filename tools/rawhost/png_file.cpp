#include "tools/rawhost/png_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <vector>

namespace qvraw {
namespace {

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> entries{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
    return entries;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void appendBigEndian(std::vector<std::uint8_t>* out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back((value >> shift) & 0xFF);
}

void appendChunk(std::vector<std::uint8_t>* file, const char* type,
                 const std::vector<std::uint8_t>& data) {
  appendBigEndian(file, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = file->size();
  file->insert(file->end(), type, type + 4);
  file->insert(file->end(), data.begin(), data.end());
  appendBigEndian(file, crc32(file->data() + typeAt, data.size() + 4));
}

}  // namespace

bool writePng(const std::string& path, const std::uint32_t* pixels, int width, int height,
              std::string* error) {
  if (pixels == nullptr || width < 1 || height < 1 || width > 65536 || height > 65536) {
    if (error) *error = "no picture to write to " + path;
    return false;
  }
  // Scanlines: filter type 0, then R, G, B of each pixel.
  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
      raw.push_back((p >> 16) & 0xFF);
      raw.push_back((p >> 8) & 0xFF);
      raw.push_back(p & 0xFF);
    }
  }
  // A zlib stream of stored blocks, each at most 65535 bytes.
  std::vector<std::uint8_t> zlib = {0x78, 0x01};
  std::uint32_t a = 1, b = 0;
  for (std::size_t at = 0; at < raw.size(); at += 65535) {
    const std::size_t size = std::min<std::size_t>(65535, raw.size() - at);
    zlib.push_back(at + size >= raw.size() ? 1 : 0);
    zlib.insert(
        zlib.end(),
        {static_cast<std::uint8_t>(size & 0xFF), static_cast<std::uint8_t>(size >> 8),
         static_cast<std::uint8_t>(~size & 0xFF), static_cast<std::uint8_t>((~size >> 8) & 0xFF)});
    zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + size);
  }
  for (const std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  appendBigEndian(&zlib, (b << 16) | a);

  std::vector<std::uint8_t> header;
  appendBigEndian(&header, static_cast<std::uint32_t>(width));
  appendBigEndian(&header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlacing
  std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  appendChunk(&file, "IHDR", header);
  appendChunk(&file, "IDAT", zlib);
  appendChunk(&file, "IEND", {});

  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    if (!out.flush()) {
      if (error) *error = "cannot write " + temporary;
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::remove(path.c_str());  // Windows does not rename over a file
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    if (error) *error = "cannot rename " + temporary + " to " + path;
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace qvraw
