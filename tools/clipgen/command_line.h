// The command line of quiventa-clipgen: the named variants (presets of
// RClipSettings) and the options that adjust them.
//
// Thread-safety: the functions share no state.
#pragma once

#include <string>
#include <vector>

#include "tools/clipgen/clip_generator.h"
#include "tools/clipgen/y4m_writer.h"

namespace qvclip {

struct RCommandLine {
  bool showHelp = false;
  std::string variant = "static";
  std::string outputPath;  // ends in ".y4m", or ".raw" for raw frames
  bool rawFrames = false;
  std::string motionPath;  // the output path with ".motion.txt" for ".y4m"
  RClipSettings settings;
  EChroma chroma = EChroma::k444;
  int threads = 2;
};

// The variant names, in the order the help lists them.
const std::vector<std::string>& variantNames();

// Settings of a named variant for the given size and frame count (some
// variants place things relative to the clip length). False for an unknown
// name.
bool variantSettings(const std::string& name, int width, int height, int frameCount,
                     RClipSettings* settings);

// `arguments` without the program name. False with a one-line message for
// bad arguments; the result is complete and validated when true (or when only
// help was asked for).
bool parseCommandLine(const std::vector<std::string>& arguments, RCommandLine* result,
                      std::string* error);

std::string usageText();

}  // namespace qvclip
