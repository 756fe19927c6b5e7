#include "host/output_target.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "host/host_error.h"
#include "tests/host/test_media.h"
#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

class OutputTargetTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::set<std::string> files() const { return host_test::fileNames(dir_); }

  testing_support::CScratchFolder scratch_;
  const fs::path dir_ = scratch_.folder();
};

TEST_F(OutputTargetTest, TheNameChoosesTheKindOfOutput) {
  EXPECT_EQ(host::outputKindFor("a/b.mp4"), host::OutputKind::kH264File);
  EXPECT_EQ(host::outputKindFor("B.MKV"), host::OutputKind::kH264File);
  EXPECT_EQ(host::outputKindFor("c.mov"), host::OutputKind::kH264File);
  EXPECT_EQ(host::outputKindFor("c.y4m"), host::OutputKind::kY4m);
  EXPECT_EQ(host::outputKindFor("f%04d.png"), host::OutputKind::kPngSequence);
  EXPECT_STREQ(host::muxerNameFor("B.MKV"), "matroska");
  EXPECT_STREQ(host::muxerNameFor("c.mov"), "mov");
  EXPECT_STREQ(host::muxerNameFor("f%d.png"), "image2");
  for (const char* refused : {"out.avi", "out", "f%04d.jpg", "still.png"}) {
    EXPECT_THROW(host::outputKindFor(refused), host::CHostError) << refused;
  }
}

// The temporary is hidden beside the output and keeps its extension.
TEST_F(OutputTargetTest, WritesBesideTheOutputAndReplacesItOnlyOnCommit) {
  std::ofstream(path("out.mp4")) << "old";
  host::COutputTarget target(path("out.mp4"));
  const fs::path temporary = target.writePath();
  EXPECT_EQ(temporary.parent_path(), dir_);
  EXPECT_EQ(temporary.extension(), ".mp4");
  EXPECT_EQ(temporary.filename().string().rfind(".out.tmp-", 0), 0u);
  std::ofstream(temporary) << "new";
  EXPECT_EQ(host_test::fileText(path("out.mp4")), "old");
  target.commit();
  EXPECT_EQ(host_test::fileText(path("out.mp4")), "new");
  EXPECT_EQ(files(), std::set<std::string>{"out.mp4"});
  EXPECT_NE(fs::status(path("out.mp4")).permissions() & fs::perms::others_read, fs::perms::none);
}

TEST_F(OutputTargetTest, ImageSequencesMoveIntoPlaceTogether) {
  std::ofstream(path("f001.png")) << "old";
  {
    host::COutputTarget abandoned(path("f%03d.png"));
    std::ofstream(fs::path(abandoned.writePath()).parent_path() / "f001.png") << "new";
  }
  EXPECT_EQ(host_test::fileText(path("f001.png")), "old");
  EXPECT_EQ(files(), std::set<std::string>{"f001.png"});

  // The new sequence replaces the old one as a whole: its frames beyond the
  // new ones go, files of other names stay.
  for (const char* name : {"f003.png", "f0004.png", "f999.png", "g001.png"}) {
    std::ofstream(path(name)) << "old";
  }
  host::COutputTarget target(path("f%03d.png"));
  EXPECT_EQ(fs::path(target.writePath()).filename(), "f%03d.png");
  for (const char* name : {"f001.png", "f002.png"}) {
    std::ofstream(fs::path(target.writePath()).parent_path() / name) << "new";
  }
  target.commit();
  EXPECT_EQ(host_test::fileText(path("f001.png")) + host_test::fileText(path("f002.png")),
            "newnew");
  EXPECT_EQ(files(), (std::set<std::string>{"f0004.png", "f001.png", "f002.png", "g001.png"}));
}

TEST_F(OutputTargetTest, RefusesFoldersItCannotWrite) {
  EXPECT_THROW(host::COutputTarget(path("missing/out.mp4")), host::CHostError);
  fs::create_directory(path("folder.mp4"));
  EXPECT_THROW(host::COutputTarget(path("folder.mp4")), host::CHostError);
  if (geteuid() != 0) {  // root writes anywhere
    fs::create_directory(path("locked"));
    fs::permissions(path("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(host::COutputTarget(path("locked/out.mp4")), host::CHostError);
  }
}

}  // namespace
