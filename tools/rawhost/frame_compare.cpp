// Compares two files of raw frames (tools/rawhost's format) pixel by pixel.
//   quiventa-framecompare A.raw B.raw WxH [--skip-rows FIRST-LAST]...
// Skipped rows (counted from the top, both ends included) are left out of
// the comparison: the text lines that two font rasterisers draw apart.
// Prints the frames compared, the pixels that differ (count and share), the
// largest channel difference and the frames that hold differences. Exit
// status: 0 identical, 3 every difference at most 1 per channel, 1 larger
// differences or different lengths, 2 bad arguments or unreadable files.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool readAll(const char* path, std::vector<std::uint32_t>* pixels) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (bytes.size() % 4 != 0) return false;
  pixels->resize(bytes.size() / 4);
  // Raw frames are little-endian, as is every machine this runs on.
  std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char*>(pixels->data()));
  return true;
}

int usage() {
  std::fputs("usage: quiventa-framecompare A.raw B.raw WxH [--skip-rows FIRST-LAST]...\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int width = 0, height = 0;
  if (argc < 4 || std::sscanf(argv[3], "%dx%d", &width, &height) != 2 || width < 1 || height < 1) {
    return usage();
  }
  std::vector<std::uint32_t> a, b;
  if (!readAll(argv[1], &a) || !readAll(argv[2], &b)) {
    std::fprintf(stderr, "quiventa-framecompare: cannot read %s or %s as frames\n", argv[1],
                 argv[2]);
    return 2;
  }
  const std::size_t framePixels = static_cast<std::size_t>(width) * height;
  if (a.size() % framePixels != 0 || b.size() % framePixels != 0) {
    std::fprintf(stderr, "quiventa-framecompare: the files do not hold whole %dx%d frames\n", width,
                 height);
    return 2;
  }
  std::vector<bool> compared(static_cast<std::size_t>(height), true);
  for (int i = 4; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--skip-rows" && i + 1 < argc) {
      int first = 0, last = 0;
      if (std::sscanf(argv[++i], "%d-%d", &first, &last) != 2 || first < 0 || last < first ||
          last >= height) {
        return usage();
      }
      for (int row = first; row <= last; ++row) compared[static_cast<std::size_t>(row)] = false;
    } else {
      return usage();
    }
  }
  const std::size_t frames = std::min(a.size(), b.size()) / framePixels;
  std::size_t differing = 0;
  int largest = 0;
  std::string framesWithDifferences;
  for (std::size_t frame = 0; frame < frames; ++frame) {
    std::size_t inFrame = 0;
    for (std::size_t p = frame * framePixels; p < (frame + 1) * framePixels; ++p) {
      if (a[p] == b[p] || !compared[(p - frame * framePixels) / static_cast<std::size_t>(width)]) {
        continue;
      }
      ++inFrame;
      for (int shift = 0; shift <= 16; shift += 8) {
        const int d = std::abs(static_cast<int>((a[p] >> shift) & 0xFF) -
                               static_cast<int>((b[p] >> shift) & 0xFF));
        if (d > largest) largest = d;
      }
    }
    if (inFrame > 0) framesWithDifferences += " " + std::to_string(frame);
    differing += inFrame;
  }
  std::printf(
      "%zu frames of %dx%d: %zu pixels differ (%.4f%%), largest channel difference %d%s%s\n",
      frames, width, height, differing,
      100.0 * static_cast<double>(differing) / static_cast<double>(frames * framePixels), largest,
      framesWithDifferences.empty() ? "" : ", in frames", framesWithDifferences.c_str());
  if (a.size() != b.size()) {
    std::printf("the files hold %zu and %zu frames\n", a.size() / framePixels,
                b.size() / framePixels);
    return 1;
  }
  return differing == 0 ? 0 : largest <= 1 ? 3 : 1;
}
