#include "host/path_identity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

TEST(PathIdentityTest, SameFilesThroughAnySpellingLinkOrPattern) {
  const testing_support::CScratchFolder scratch;
  const fs::path& dir = scratch.folder();
  auto path = [&](const std::string& name) { return scratch.path(name); };
  std::ofstream(path("a.mp4")) << "x";
  std::ofstream(path("f0001.png")) << "x";
  fs::create_directory(path("sub"));
  fs::create_symlink(path("a.mp4"), path("link.mp4"));
  fs::create_directory_symlink(dir, path("sub/up"));

  struct RCase {
    std::string first, second;
    bool same;
  };
  const RCase cases[] = {
      {path("a.mp4"), path("sub/../a.mp4"), true},
      {path("a.mp4"), path("link.mp4"), true},
      {path("new.mp4"), path("./sub/../new.mp4"), true},
      {path("new.mp4"), path("sub/up/new.mp4"), true},  // a symlinked folder
      {path("a.mp4"), path("b.mp4"), false},
      // Sequence patterns stand for the files they name.
      {path("f%04d.png"), path("f%004d.png"), true},
      {path("f%04d.png"), path("sub/up/f%04d.png"), true},
      {path("f%d.png"), path("f%04d.png"), true},  // both name f1000.png
      {path("f%04d.png"), path("f0001.png"), true},
      {path("f%04d.png"), path("sub/up/f0077.png"), true},
      {path("f%04d.png"), path("f77.png"), false},
      {path("f%04d.png"), path("g%04d.png"), false},
      {path("f%04d.png"), path("sub/f%04d.png"), false},
  };
  for (const RCase& c : cases) {
    EXPECT_EQ(host::isSameFile(c.first, c.second), c.same) << c.first << " / " << c.second;
    EXPECT_EQ(host::isSameFile(c.second, c.first), c.same) << c.second << " / " << c.first;
  }
  EXPECT_EQ(host::sequenceFrameNumber("f%03d.png", "f012.png"), 12);
  EXPECT_EQ(host::sequenceFrameNumber("f%03d.png", "f12.png"), -1);
  EXPECT_EQ(host::sequenceFrameNumber("100%%_%d.png", "100%_7.png"), 7);
}

}  // namespace
