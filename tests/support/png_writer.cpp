#include "tests/support/png_writer.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <vector>

namespace qvtest {
namespace {

using CBytes = std::vector<std::uint8_t>;

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

std::uint32_t adler32(const CBytes& data) {
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void putBigEndian(CBytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back((value >> shift) & 0xFF);
}

void putChunk(CBytes& out, const char* type, const CBytes& payload) {
  putBigEndian(out, static_cast<std::uint32_t>(payload.size()));
  const std::size_t typeStart = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), payload.begin(), payload.end());
  putBigEndian(out, crc32(out.data() + typeStart, out.size() - typeStart));
}

// A zlib stream of stored (uncompressed) deflate blocks.
CBytes zlibStored(const CBytes& raw) {
  constexpr std::size_t kMaxBlock = 65535;
  CBytes out = {0x78, 0x01};
  std::size_t offset = 0;
  do {
    const std::size_t length = std::min(kMaxBlock, raw.size() - offset);
    const bool last = offset + length == raw.size();
    out.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00
    out.push_back(length & 0xFF);
    out.push_back((length >> 8) & 0xFF);
    out.push_back(~length & 0xFF);
    out.push_back((~length >> 8) & 0xFF);
    out.insert(out.end(), raw.begin() + offset, raw.begin() + offset + length);
    offset += length;
  } while (offset < raw.size());
  putBigEndian(out, adler32(raw));
  return out;
}

bool fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

}  // namespace

bool writePng(const std::string& path, const std::uint32_t* topRow, int width, int height,
              std::ptrdiff_t pitch, int scale, std::string* error) {
  // The bound keeps the in-memory image (it is built whole) far below memory.
  constexpr long long kMaxPixels = 1LL << 26;
  if (!topRow || width <= 0 || height <= 0 || scale <= 0 ||
      static_cast<long long>(width) * height * scale * scale > kMaxPixels) {
    return fail(error, "png: bad image size or no pixels for " + path);
  }
  if ((pitch < 0 ? -pitch : pitch) < static_cast<std::ptrdiff_t>(width) * 4) {
    return fail(error, "png: row pitch smaller than the row for " + path);
  }
  const std::size_t outWidth = static_cast<std::size_t>(width) * scale;
  const std::size_t outHeight = static_cast<std::size_t>(height) * scale;

  CBytes raw;
  raw.reserve(outHeight * (1 + outWidth * 3));
  CBytes line(1 + outWidth * 3);  // filter byte 0 (none), then RGB
  for (int y = 0; y < height; ++y) {
    const auto* source = reinterpret_cast<const std::uint32_t*>(
        reinterpret_cast<const std::uint8_t*>(topRow) + y * pitch);
    std::size_t at = 1;
    for (int x = 0; x < width; ++x) {
      for (int repeat = 0; repeat < scale; ++repeat) {
        line[at++] = (source[x] >> 16) & 0xFF;
        line[at++] = (source[x] >> 8) & 0xFF;
        line[at++] = source[x] & 0xFF;
      }
    }
    for (int repeat = 0; repeat < scale; ++repeat) raw.insert(raw.end(), line.begin(), line.end());
  }

  CBytes header;
  putBigEndian(header, static_cast<std::uint32_t>(outWidth));
  putBigEndian(header, static_cast<std::uint32_t>(outHeight));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace

  CBytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  putChunk(file, "IHDR", header);
  putChunk(file, "IDAT", zlibStored(raw));
  putChunk(file, "IEND", {});

  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream.write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
  stream.close();
  if (!stream) return fail(error, "png: cannot write " + path);
  return true;
}

bool writeBottomUpPng(const std::string& path, const std::uint32_t* bottomRow, int width,
                      int height, std::ptrdiff_t pitch, int scale, std::string* error) {
  if (!bottomRow || height <= 0) return fail(error, "png: no pixels for " + path);
  const auto* topRow = reinterpret_cast<const std::uint32_t*>(
      reinterpret_cast<const std::uint8_t*>(bottomRow) + (height - 1) * pitch);
  return writePng(path, topRow, width, height, -pitch, scale, error);
}

}  // namespace qvtest
