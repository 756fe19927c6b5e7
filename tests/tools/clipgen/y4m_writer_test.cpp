#include "tools/clipgen/y4m_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using qvclip::CY4mWriter;
using qvclip::RFrame;
using qvclip::RY4mFormat;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class Y4mWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = fs::path(::testing::TempDir()) /
                 ("y4m_writer_test_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(directory_);
    fs::create_directories(directory_);
  }
  void TearDown() override { fs::remove_all(directory_); }
  int fileCount() const {
    return static_cast<int>(std::distance(fs::directory_iterator(directory_), {}));
  }

  fs::path directory_;
};

RFrame colourFrame(int width, int height) {
  // Row 0 white, row 1 black, the rest pure red.
  RFrame frame{width, height, std::vector<std::uint32_t>(width * height, 0xFF0000)};
  for (int x = 0; x < width; ++x) frame.pixels[x] = 0xFFFFFF, frame.pixels[width + x] = 0;
  return frame;
}

TEST_F(Y4mWriterTest, HeaderAndFramesParseBack) {
  const std::string path = (directory_ / "clip.y4m").string();
  RY4mFormat format{34, 20, 30000, 1001, qvclip::EFieldOrder::kLowerFirst, qvclip::EChroma::k444};
  CY4mWriter writer;
  std::string error;
  ASSERT_TRUE(writer.open(path, format, &error)) << error;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(writer.writeFrame(colourFrame(34, 20), &error)) << error;
  ASSERT_TRUE(writer.finish(&error)) << error;
  EXPECT_EQ(fileCount(), 1);  // no temporary file left

  const std::string data = readFile(path);
  const std::size_t headerEnd = data.find('\n');
  std::istringstream header(data.substr(0, headerEnd));
  std::vector<std::string> tokens{std::istream_iterator<std::string>(header), {}};
  EXPECT_EQ(tokens, (std::vector<std::string>{"YUV4MPEG2", "W34", "H20", "F30000:1001", "Ib",
                                              "A1:1", "C444", "XCOLORRANGE=LIMITED"}));
  const std::size_t frameBytes = 6 + 3 * 34 * 20;
  ASSERT_EQ((data.size() - headerEnd - 1) % frameBytes, 0u);
  ASSERT_EQ((data.size() - headerEnd - 1) / frameBytes, 3u);
  const std::size_t frame2 = headerEnd + 1 + 2 * frameBytes;
  ASSERT_EQ(data.substr(frame2, 6), "FRAME\n");
  auto plane = [&](int index, int x, int y) {
    return static_cast<unsigned char>(data[frame2 + 6 + index * 34 * 20 + y * 34 + x]);
  };
  // BT.601 limited range: white 235/128/128, black 16/128/128, red 81/90/240.
  EXPECT_EQ(plane(0, 5, 0), 235);
  EXPECT_EQ(plane(1, 5, 0), 128);
  EXPECT_EQ(plane(2, 5, 0), 128);
  EXPECT_EQ(plane(0, 5, 1), 16);
  EXPECT_EQ(plane(0, 5, 7), 81);
  EXPECT_EQ(plane(1, 5, 7), 90);
  EXPECT_EQ(plane(2, 5, 7), 240);
}

TEST_F(Y4mWriterTest, FailuresLeaveExistingFilesAlone) {
  std::string error;
  CY4mWriter nowhere;
  EXPECT_FALSE(nowhere.open((directory_ / "missing" / "clip.y4m").string(),
                            RY4mFormat{16, 16, 25, 1, {}, {}}, &error));
  EXPECT_NE(error.find("missing"), std::string::npos);
  EXPECT_FALSE(nowhere.open(directory_.string(), RY4mFormat{16, 16, 25, 1, {}, {}}, &error));
  EXPECT_NE(error.find("folder"), std::string::npos);

  const fs::path existing = directory_ / "keep.y4m";
  std::ofstream(existing) << "old content";
  {
    CY4mWriter abandoned;
    ASSERT_TRUE(abandoned.open(existing.string(), RY4mFormat{16, 16, 25, 1, {}, {}}, &error));
    ASSERT_TRUE(abandoned.writeFrame(colourFrame(16, 16), &error));
    EXPECT_FALSE(abandoned.writeFrame(colourFrame(18, 16), &error));  // wrong size
    EXPECT_FALSE(error.empty());
  }
  EXPECT_EQ(readFile(existing), "old content");
  EXPECT_EQ(fileCount(), 1);
}

}  // namespace
