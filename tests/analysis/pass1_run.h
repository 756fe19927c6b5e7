// Pass 1 driven the way the host drives it, for the driver and thread
// suites: output format, start, one call per host frame, end. The log goes
// to a temporary folder of its own; the output bitmap gets a device context
// when the filter asks for one.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "platform/file_io.h"
#include "plugin/common/instance_data.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/filter_callbacks.h"
#include "plugin/filter/start_callback.h"
#include "tests/support/filter_instance.h"
#include "tests/support/synthetic_frames.h"

namespace testing_support {

using CColourAt = std::function<std::uint32_t(double, double)>;

class CPass1Run {
 public:
  CPass1Run(long width, long height) {
    std::string pattern = (std::filesystem::temp_directory_path() / "qv-pass1-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
    instance_.setSourceSize(width, height);
    data().pass = 1;
    *data().logFilePath = (folder_ / "pass1.log").string();
  }
  ~CPass1Run() {
    end();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  CPass1Run(const CPass1Run&) = delete;
  CPass1Run& operator=(const CPass1Run&) = delete;

  InstanceData& data() { return instance_.data(); }
  const std::filesystem::path& folder() const { return folder_; }
  std::filesystem::path logPath() { return *data().logFilePath; }

  // paramProc, an output bitmap of the size it asks for, startProc.
  void start() {
    FilterActivation& fa = instance_.fa();
    paramProc(&fa, nullptr);
    const VFBitmap format = fa.dst;
    output_.allocate(format.w, format.h, format.pitch);
    output_.bitmap.dwFlags = format.dwFlags;
    if (format.dwFlags & VFBitmap::NEEDS_HDC) {
      context_ = RDeviceContext{output_.pixels.data(), format.w, format.h, format.pitch};
      output_.bitmap.hdc = &context_;
    }
    instance_.dst() = output_.bitmap;
    startProc(&fa, nullptr);
    started_ = true;
  }

  // One host frame with source frame number n.
  void frame(long n, const CColourAt& colourAt) {
    renderFrame(instance_.src(), colourAt);
    instance_.state().lCurrentSourceFrame = n;
    runProc(&instance_.fa(), nullptr);
  }

  void end() {
    if (started_) endProc(&instance_.fa(), nullptr);
    started_ = false;
  }

  // The output frame, top-down, 0x00RRGGBB.
  std::uint32_t outputPixel(int x, int y) const {
    const auto* rowBytes = reinterpret_cast<const unsigned char*>(output_.pixels.data()) +
                           output_.bitmap.pitch * (output_.bitmap.h - 1 - y);
    return reinterpret_cast<const std::uint32_t*>(rowBytes)[x];
  }
  const COwnedBitmap& output() const { return output_; }
  // The source of the last frame, top-down.
  std::uint32_t sourcePixel(int x, int y) {
    const VFBitmap& src = instance_.src();
    const auto* rowBytes =
        reinterpret_cast<const unsigned char*>(src.data) + src.pitch * (src.h - 1 - y);
    return reinterpret_cast<const std::uint32_t*>(rowBytes)[x];
  }

  std::string logText() {
    std::string content;
    platform::readWholeFile(logPath().string(), &content);
    return content;
  }

 private:
  std::filesystem::path folder_;
  CFilterInstance instance_;
  COwnedBitmap output_;
  RDeviceContext context_{};
  bool started_ = false;
};

// One parsed log line: the label, the numbers, and whether it ends with
// new_scene.
struct RLogLine {
  std::string label;
  std::vector<double> values;
  bool newScene = false;
};

inline std::vector<RLogLine> parseLog(const std::string& text) {
  std::vector<RLogLine> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t end = text.find("\r\n", begin);
    EXPECT_NE(end, std::string::npos) << "line without CR LF";
    if (end == std::string::npos) break;
    std::stringstream fields(text.substr(begin, end - begin));
    RLogLine line;
    std::string field;
    std::getline(fields, line.label, '\t');
    while (std::getline(fields, field, '\t')) {
      if (field == "new_scene") {
        line.newScene = true;
      } else {
        line.values.push_back(std::stod(field));
      }
    }
    lines.push_back(line);
    begin = end + 2;
  }
  return lines;
}

// A picture that pans: frame f shows the texture moved so that the content
// of frame f lay (panX, panY) pixels (x right, y down) away in frame f - 1.
inline CColourAt pannedTexture(const CSmoothTexture& texture, long f, double panX, double panY) {
  return [&texture, f, panX, panY](double x, double y) {
    return texture.sample(x + panX * f, y + panY * f);
  };
}

}  // namespace testing_support
