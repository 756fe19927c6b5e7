// A test-only filter module with the interface of Quiventa.vdf and the
// stabiliser's settings string (61 fields), of which it uses: 2 pass, 9/10
// destWidth/destHeight, 19 videoOutput, 26 logFilePath, 27 appendToLogFile,
// 46/48 useFutureFrames/futureFrames, 53 sameDestAsSource. Output sizes
// follow the stabiliser's paramProc. Each output frame is the source of the
// call `futureFrames` back (in pass 2 with useFutureFrames set, else of this
// call), that call's frame number stamped into the second 16-row band as
// 16x16 black/white blocks (bit b at x = 16 b), all ones while the delay has
// not passed; a red 16x16 square at (0, 32) goes through the device context
// when there is one. Pass 1 writes the stabiliser's log of a still camera.
//
// Every callback is appended as a line to the file QV_STAMP_CALLBACKS names;
// with QV_STAMP_INTERRUPT_AT=n the call for frame n raises SIGINT, as a user
// pressing Ctrl-C would.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "plugin/filter_interface.h"

#define QV_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int kBand = 16;
constexpr const char* kDefaults =
    "12|1|30|4|1|0|1|0|640|480|1|2|1|400|400|400|1500|4|1|1|2|5|40|300|4|/dev/null|0|0|0|0|0|"
    "0|0|0|0|0|0|0|0|1|15|15|5|15|0|0|30|30|0|0|0|0|1|0|0|10|1|15|1000|1|88";

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> fields;
  std::istringstream stream(text + "|");  // so that getline sees an empty last field
  for (std::string field; std::getline(stream, field, '|');) fields.push_back(field);
  return fields;
}

// Lives in the instance memory the host provides, from initProc to deinitProc.
struct RStampInstance {
  std::vector<std::string> fields = split(kDefaults);
  bool logOpened = false;
  std::deque<std::vector<Pixel32>> held;  // top-down copies of recent sources
  long framesSeen = 0;

  int field(int position) const { return std::atoi(fields[position - 1].c_str()); }
  bool pass1() const { return field(2) == 1; }
  int delay() const { return !pass1() && field(46) == 1 ? field(48) : 0; }
};

RStampInstance& instanceOf(const FilterActivation* fa) {
  return *static_cast<RStampInstance*>(fa->filter_data);
}

void logLine(const std::string& line) {
  const char* path = std::getenv("QV_STAMP_CALLBACKS");
  if (std::FILE* file = path != nullptr ? std::fopen(path, "a") : nullptr) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

void writeMotionLine(RStampInstance& data, long frame) {
  const bool append = data.field(27) == 1;
  std::FILE* file = std::fopen(data.fields[25].c_str(), data.logOpened || append ? "ab" : "wb");
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
      pixels[x] = x / kBand < 31 && ((value >> (x / kBand)) & 1) ? 0xFFFFFF : 0x000000;
    }
  }
}

int initProc(FilterActivation* fa, const FilterFunctions*) {
  new (fa->filter_data) RStampInstance;
  logLine("initProc");
  return 0;
}

void deinitProc(FilterActivation* fa, const FilterFunctions*) {
  logLine("deinitProc");
  instanceOf(fa).~RStampInstance();
}

long paramProc(FilterActivation* fa, const FilterFunctions*) {
  const RStampInstance& data = instanceOf(fa);
  VFBitmap& dst = fa->dst;
  const bool sameSize = data.field(53) != 0;
  if (data.pass1() && data.field(19) == 0) {
    dst.w = dst.h = 8;  // no video output
  } else {
    dst.w = data.pass1() || sameSize ? fa->src.w : data.field(9);
    dst.h = data.pass1() ? fa->src.h + 10 : sameSize ? fa->src.h : data.field(10);
    dst.dwFlags |= VFBitmap::NEEDS_HDC;
  }
  dst.pitch = (dst.w * 4 + 7) & ~7L;
  char line[160];
  std::snprintf(line, sizeof line, "paramProc src=%ldx%ld dst=%ldx%ld pitch=%ld", fa->src.w,
                fa->src.h, dst.w, dst.h, static_cast<long>(dst.pitch));
  logLine(line);
  return FILTERPARAM_SWAP_BUFFERS;
}

int startProc(FilterActivation* fa, const FilterFunctions*) {
  RStampInstance& data = instanceOf(fa);
  data.held.clear();
  data.framesSeen = 0;
  data.logOpened = false;
  char line[160];
  std::snprintf(line, sizeof line, "startProc pass=%d dst=%ldx%ld hdc=%d", data.field(2), fa->dst.w,
                fa->dst.h, fa->dst.hdc != nullptr ? 1 : 0);
  logLine(line);
  return 0;
}

int runProc(const FilterActivation* fa, const FilterFunctions*) {
  RStampInstance& data = instanceOf(fa);
  const long frame = fa->pfsi->lCurrentSourceFrame;
  const VFBitmap& src = fa->src;
  const VFBitmap& dst = fa->dst;
  char line[200];
  std::snprintf(line, sizeof line, "runProc frame=%ld usec=%ld ms=%ld hdc=%d", frame,
                fa->pfsi->lMicrosecsPerSrcFrame, fa->pfsi->lSourceFrameMS,
                dst.hdc != nullptr ? 1 : 0);
  logLine(line);
  if (data.pass1() && data.framesSeen > 0) writeMotionLine(data, frame);
  ++data.framesSeen;
  const char* interruptAt = std::getenv("QV_STAMP_INTERRUPT_AT");
  if (interruptAt != nullptr && std::atol(interruptAt) == frame) std::raise(SIGINT);

  std::vector<Pixel32>& copy = data.held.emplace_back(static_cast<std::size_t>(src.w * src.h));
  for (long y = 0; y < src.h; ++y) std::memcpy(&copy[y * src.w], row(src, y), src.w * 4);
  while (static_cast<int>(data.held.size()) > data.delay() + 1) data.held.pop_front();
  const long out = frame - data.delay();
  for (long y = 0; y < dst.h; ++y) std::memset(row(dst, y), 0, dst.w * 4);
  for (long y = 0; out >= 0 && y < std::min(src.h, dst.h); ++y) {
    std::memcpy(row(dst, y), &data.held.front()[y * src.w], std::min(src.w, dst.w) * 4);
  }
  stamp(dst, 1, out < 0 ? (1L << 10) - 1 : out);
  if (dst.hdc != nullptr) {
    platform::CDeviceContext dc(dst.hdc->bits, static_cast<int>(dst.hdc->width),
                                static_cast<int>(dst.hdc->height), dst.hdc->pitch);
    dc.fillSolidRect(0, 2 * kBand, kBand, kBand, 0x0000FF);
  }
  return 0;
}

int endProc(FilterActivation* fa, const FilterFunctions*) {
  logLine("endProc frames=" + std::to_string(instanceOf(fa).framesSeen));
  return 0;
}

// As the stabiliser's: backslashes doubled, and an empty buffer rather than
// a cut statement when it is too short.
bool fssProc(FilterActivation* fa, const FilterFunctions*, char* buffer, int bufferLength) {
  std::string text = "Config(\"";
  for (const std::string& field : instanceOf(fa).fields) {
    for (const char c : field) text += c == '\\' ? "\\\\" : std::string(1, c);
    text += '|';
  }
  text.back() = '"';
  text += ')';
  const bool fits = static_cast<int>(text.size()) < bufferLength;
  std::memcpy(buffer, fits ? text.c_str() : "", fits ? text.size() + 1 : 1);
  return true;
}

void configFunction(IScriptInterpreter*, void* lpVoid, CScriptValue* argv, int argc) {
  if (argc < 1 || !argv[0].isString()) return;
  std::vector<std::string> fields = split(*argv[0].asString());
  if (fields.size() == 61) instanceOf(static_cast<FilterActivation*>(lpVoid)).fields = fields;
}

ScriptFunctionDef functions[] = {{configFunction, "Config", "0s"}, {nullptr, nullptr, nullptr}};
CScriptObject scriptObject = {nullptr, functions, nullptr};

FilterDefinition definition = [] {
  FilterDefinition d{};
  d.name = "Stamp test filter";
  d.desc = "Stamps frame numbers (host tests only).";
  d.maker = "Quiventa tests";
  d.inst_data_size = sizeof(RStampInstance);
  d.initProc = initProc;
  d.deinitProc = deinitProc;
  d.runProc = runProc;
  d.paramProc = paramProc;
  d.startProc = startProc;
  d.endProc = endProc;
  d.script_obj = &scriptObject;
  d.fssProc = fssProc;
  return d;
}();

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
