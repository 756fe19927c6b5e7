// A test-only filter module for the host's tests, built with the same
// interface as Quiventa.vdf. It speaks the stabiliser's settings string (61
// fields, same positions) but only uses a few of them:
//   2 pass, 9/10 destWidth/destHeight, 19 videoOutput, 26 logFilePath,
//   46/48 useFutureFrames/futureFrames, 53 sameDestAsSource.
// Output sizes follow the stabiliser's paramProc. Each output frame is the
// source of the entry `futureFrames` calls back (when useFutureFrames is set,
// else the current one), with that entry's number stamped into the second
// 16-row band as 16x16 black/white blocks (bit b at x = 16 b), and a red
// 16x16 square drawn through the device context at (0, 32) when there is
// one. Calls before the delay has passed give black message frames stamped
// with all ones.
//
// Pass 1 writes a log as the stabiliser's does (one line without motion per
// frame after the first, CR LF ended, created at the first line or appended
// after an empty line), to logFilePath. Every callback is appended as one
// line to the file the environment variable QV_STAMP_CALLBACKS names. With
// QV_STAMP_INTERRUPT_AT=n the filter raises SIGINT in the call for frame n,
// as a user pressing Ctrl-C then would.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "plugin/filter_interface.h"

#define QV_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int kBand = 16;
constexpr int kFieldCount = 61;
constexpr const char* kDefaults =
    "12|1|30|4|1|0|1|0|640|480|1|2|1|400|400|400|1500|4|1|1|2|5|40|300|4|/dev/null|0|0|0|0|0|"
    "0|0|0|0|0|0|0|0|1|15|15|5|15|0|0|30|30|0|0|0|0|1|0|0|10|1|15|1000|1|88";

struct RStampInstance {
  std::vector<std::string>* fields;
  bool logOpened;
  std::deque<std::vector<Pixel32>>* held;  // top-down copies of recent sources
  long framesSeen;
};

RStampInstance& instanceOf(const FilterActivation* fa) {
  return *static_cast<RStampInstance*>(fa->filter_data);
}

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t bar = text.find('|', start);
    fields.push_back(
        text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) return fields;
    start = bar + 1;
  }
}

int intField(const RStampInstance& data, int position) {
  return std::atoi((*data.fields)[position - 1].c_str());
}

int delayOf(const RStampInstance& data) {
  return intField(data, 2) != 1 && intField(data, 46) == 1 ? intField(data, 48) : 0;
}

void logLine(RStampInstance&, const std::string& line) {
  const char* path = std::getenv("QV_STAMP_CALLBACKS");
  if (path == nullptr) return;
  if (std::FILE* file = std::fopen(path, "a")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

void writeMotionLine(RStampInstance& data, long frame) {
  const bool append = intField(data, 27) == 1;
  std::FILE* file = std::fopen((*data.fields)[25].c_str(), data.logOpened || append ? "ab" : "wb");
  if (file == nullptr) return;
  if (!data.logOpened && append) std::fputs("\r\n", file);
  data.logOpened = true;
  std::fprintf(file, "%7ld\t%7.2f\t%7.2f\t%7.3f\t%7.5f\r\n", frame, 0.0, 0.0, 0.0, 1.0);
  std::fclose(file);
}

Pixel32* row(const VFBitmap& bitmap, long topDownRow) {
  return reinterpret_cast<Pixel32*>(reinterpret_cast<char*>(bitmap.data) +
                                    (bitmap.h - 1 - topDownRow) * bitmap.pitch);
}

void stamp(const VFBitmap& bitmap, long band, long value) {
  for (long y = band * kBand; y < (band + 1) * kBand && y < bitmap.h; ++y) {
    Pixel32* pixels = row(bitmap, y);
    for (long x = 0; x < bitmap.w; ++x) {
      const long bit = x / kBand;
      pixels[x] = (bit < 31 && ((value >> bit) & 1)) ? 0xFFFFFF : 0x000000;
    }
  }
}

int initProc(FilterActivation* fa, const FilterFunctions*) {
  RStampInstance& data = instanceOf(fa);
  data.fields = new std::vector<std::string>(split(kDefaults));
  data.held = new std::deque<std::vector<Pixel32>>;
  logLine(data, "initProc");
  return 0;
}

void deinitProc(FilterActivation* fa, const FilterFunctions*) {
  RStampInstance& data = instanceOf(fa);
  logLine(data, "deinitProc");
  delete data.fields;
  delete data.held;
}

long paramProc(FilterActivation* fa, const FilterFunctions*) {
  RStampInstance& data = instanceOf(fa);
  VFBitmap& dst = fa->dst;
  if (intField(data, 2) == 1) {
    if (intField(data, 19) != 0) {
      dst.h += 10;
      dst.dwFlags |= VFBitmap::NEEDS_HDC;
    } else {
      dst.w = 8;
      dst.h = 8;
    }
  } else {
    if (intField(data, 53) == 0) {
      dst.w = intField(data, 9);
      dst.h = intField(data, 10);
    } else {
      dst.w = fa->src.w;
      dst.h = fa->src.h;
    }
    dst.dwFlags |= VFBitmap::NEEDS_HDC;
  }
  dst.pitch = (dst.w * 4 + 7) & ~7L;
  char line[160];
  std::snprintf(line, sizeof line, "paramProc src=%ldx%ld dst=%ldx%ld pitch=%ld", fa->src.w,
                fa->src.h, dst.w, dst.h, static_cast<long>(dst.pitch));
  logLine(data, line);
  return FILTERPARAM_SWAP_BUFFERS;
}

int startProc(FilterActivation* fa, const FilterFunctions*) {
  RStampInstance& data = instanceOf(fa);
  data.held->clear();
  data.framesSeen = 0;
  data.logOpened = false;
  char line[160];
  std::snprintf(line, sizeof line, "startProc pass=%d dst=%ldx%ld hdc=%d", intField(data, 2),
                fa->dst.w, fa->dst.h, fa->dst.hdc != nullptr ? 1 : 0);
  logLine(data, line);
  return 0;
}

int runProc(const FilterActivation* fa, const FilterFunctions*) {
  RStampInstance& data = instanceOf(fa);
  const FilterStateInfo& state = *fa->pfsi;
  const VFBitmap& src = fa->src;
  const VFBitmap& dst = fa->dst;
  char line[200];
  std::snprintf(line, sizeof line, "runProc frame=%ld usec=%ld ms=%ld hdc=%d",
                state.lCurrentSourceFrame, state.lMicrosecsPerSrcFrame, state.lSourceFrameMS,
                dst.hdc != nullptr ? 1 : 0);
  logLine(data, line);
  if (intField(data, 2) == 1 && data.framesSeen > 0)
    writeMotionLine(data, state.lCurrentSourceFrame);
  ++data.framesSeen;

  if (const char* interruptAt = std::getenv("QV_STAMP_INTERRUPT_AT")) {
    if (std::atol(interruptAt) == state.lCurrentSourceFrame) std::raise(SIGINT);
  }

  std::vector<Pixel32> copy(static_cast<std::size_t>(src.w * src.h));
  for (long y = 0; y < src.h; ++y) std::memcpy(&copy[y * src.w], row(src, y), src.w * 4);
  const int delay = delayOf(data);
  data.held->push_back(std::move(copy));
  while (static_cast<int>(data.held->size()) > delay + 1) data.held->pop_front();

  const long out = state.lCurrentSourceFrame - delay;
  for (long y = 0; y < dst.h; ++y) std::memset(row(dst, y), 0, dst.w * 4);
  if (out < 0) {
    stamp(dst, 1, (1L << 10) - 1);
  } else {
    const std::vector<Pixel32>& picture = data.held->front();
    for (long y = 0; y < std::min(src.h, dst.h); ++y) {
      std::memcpy(row(dst, y), &picture[y * src.w], std::min(src.w, dst.w) * 4);
    }
    stamp(dst, 1, out);
  }
  if (dst.hdc != nullptr) {
    platform::CDeviceContext dc(dst.hdc->bits, static_cast<int>(dst.hdc->width),
                                static_cast<int>(dst.hdc->height), dst.hdc->pitch);
    dc.fillSolidRect(0, 2 * kBand, kBand, kBand, 0x0000FF);
  }
  return 0;
}

int endProc(FilterActivation* fa, const FilterFunctions*) {
  RStampInstance& data = instanceOf(fa);
  logLine(data, "endProc frames=" + std::to_string(data.framesSeen));
  return 0;
}

bool fssProc(FilterActivation* fa, const FilterFunctions*, char* buffer, int bufferLength) {
  const RStampInstance& data = instanceOf(fa);
  std::string text = "Config(\"";
  for (std::size_t i = 0; i < data.fields->size(); ++i) {
    if (i > 0) text += '|';
    for (char c : (*data.fields)[i]) {
      if (c == '\\') text += '\\';
      text += c;
    }
  }
  text += "\")";
  if (static_cast<int>(text.size()) + 1 > bufferLength) {
    buffer[0] = '\0';
  } else {
    std::memcpy(buffer, text.c_str(), text.size() + 1);
  }
  return true;
}

void configFunction(IScriptInterpreter*, void* lpVoid, CScriptValue* argv, int argc) {
  if (argc < 1 || !argv[0].isString()) return;
  std::vector<std::string> fields = split(*argv[0].asString());
  if (fields.size() != kFieldCount) return;
  *instanceOf(static_cast<FilterActivation*>(lpVoid)).fields = fields;
}

ScriptFunctionDef functions[] = {{configFunction, "Config", "0s"}, {nullptr, nullptr, nullptr}};
CScriptObject scriptObject = {nullptr, functions, nullptr};

FilterDefinition definition = {
    nullptr,
    nullptr,
    nullptr,
    "Stamp test filter",
    "Stamps frame numbers (host tests only).",
    "Quiventa tests",
    nullptr,
    sizeof(RStampInstance),
    initProc,
    deinitProc,
    runProc,
    paramProc,
    nullptr,
    nullptr,
    startProc,
    endProc,
    &scriptObject,
    fssProc,
};

FilterDefinition* registered = nullptr;

}  // namespace

QV_EXPORT int VirtualdubFilterModuleInit2(FilterModule* module, const FilterFunctions* ff,
                                          int& interfaceVersion, int& compatibleVersion) {
  registered = ff->addFilter(module, &definition, sizeof(FilterDefinition));
  if (registered == nullptr) return 1;
  interfaceVersion = kFilterInterfaceVersion;
  compatibleVersion = kFilterCompatibleVersion;
  return 0;
}

QV_EXPORT void VirtualdubFilterModuleDeinit(FilterModule*, const FilterFunctions* ff) {
  ff->removeFilter(registered);
}
