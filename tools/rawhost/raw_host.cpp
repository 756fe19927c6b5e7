// quiventa-rawhost: runs the filter module over raw frames, as the video
// host would, on Linux and on Windows alike, so that both builds of the
// module can be compared on the same bytes. It loads the module (dlopen or
// LoadLibrary), registers it through VirtualdubFilterModuleInit2, applies a
// settings statement through the "Config" script function and runs one pass
// (the one the settings choose) over every frame, writing the output frames,
// and chosen output frames as PNG pictures.
//
// Frames, in and out: 32-bit pixels 0x00RRGGBB, little-endian (blue byte
// first), rows top-down, no header; a file is whole frames of one size.
// The destination's device context is what each platform's host grants: a
// GDI device context over a DIB section on Windows, the plain record of the
// destination's pixels elsewhere.
//
// Exit status: 0 on success, 2 for bad arguments or input, 1 when the module
// cannot be used or the output cannot be written (an existing output file
// is then left as it was).
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "plugin/filter_interface.h"
#include "tools/rawhost/png_file.h"

namespace {

struct ROptions {
  std::string module, input, output, settings;
  long width = 0, height = 0;
  int processors = 0;  // 0: leave NUMBER_OF_PROCESSORS as it is
  long microsecondsPerFrame = 40000;
  std::vector<std::pair<long, std::string>> pictures;  // output frame, PNG path
};

[[noreturn]] void fail(int status, const std::string& message) {
  std::fprintf(stderr, "quiventa-rawhost: %s\n", message.c_str());
  std::exit(status);
}

const char* kUsage =
    "usage: quiventa-rawhost --module Quiventa.vdf --input IN.raw --size WxH\n"
    "                        --settings 'Config(\"...\")' --output OUT.raw\n"
    "                        [--processors N] [--frame-duration MICROSECONDS]\n"
    "                        [--png FRAME=PICTURE.png]...\n";

long positiveNumber(const std::string& text, const char* what) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < 1 || value > 1000000000) {
    fail(2, std::string("bad ") + what + ": " + text);
  }
  return value;
}

ROptions parseOptions(int argc, char** argv) {
  ROptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) fail(2, "option " + option + " needs a value\n" + kUsage);
    const std::string value = argv[++i];
    if (option == "--module") {
      options.module = value;
    } else if (option == "--input") {
      options.input = value;
    } else if (option == "--output") {
      options.output = value;
    } else if (option == "--settings") {
      options.settings = value;
    } else if (option == "--size") {
      const std::size_t x = value.find('x');
      if (x == std::string::npos) fail(2, "bad --size: " + value + " (expected WxH)");
      options.width = positiveNumber(value.substr(0, x), "width");
      options.height = positiveNumber(value.substr(x + 1), "height");
      if (options.width > 16384 || options.height > 16384)
        fail(2, "frame size too large: " + value);
    } else if (option == "--processors") {
      options.processors = static_cast<int>(positiveNumber(value, "processor count"));
    } else if (option == "--png") {
      const std::size_t equals = value.find('=');
      if (equals == std::string::npos || equals + 1 == value.size()) {
        fail(2, "bad --png: " + value + " (expected FRAME=PICTURE.png)");
      }
      const std::string frame = value.substr(0, equals);
      options.pictures.emplace_back(frame == "0" ? 0 : positiveNumber(frame, "frame number"),
                                    value.substr(equals + 1));
    } else if (option == "--frame-duration") {
      options.microsecondsPerFrame = positiveNumber(value, "frame duration");
    } else {
      fail(2, "unknown option " + option + "\n" + kUsage);
    }
  }
  if (options.module.empty() || options.input.empty() || options.output.empty() ||
      options.settings.empty() || options.width == 0) {
    fail(2, std::string("missing options\n") + kUsage);
  }
  return options;
}

// The string inside Config("..."), with the script's backslash escapes
// undone; a bare string is taken as it is.
std::string configArgument(const std::string& statement) {
  const std::string prefix = "Config(\"";
  const std::string suffix = "\")";
  std::string inner = statement;
  while (!inner.empty() && (inner.back() == '\n' || inner.back() == '\r' || inner.back() == ';')) {
    inner.pop_back();
  }
  if (inner.rfind(prefix, 0) == 0 && inner.size() >= prefix.size() + suffix.size() &&
      inner.compare(inner.size() - suffix.size(), suffix.size(), suffix) == 0) {
    inner = inner.substr(prefix.size(), inner.size() - prefix.size() - suffix.size());
  }
  std::string text;
  for (std::size_t i = 0; i < inner.size(); ++i) {
    if (inner[i] == '\\' && i + 1 < inner.size()) ++i;
    text += inner[i];
  }
  return text;
}

// The loaded module and its one registered filter.
class CModule {
 public:
  explicit CModule(const std::string& path) {
#ifdef _WIN32
    library_ = LoadLibraryA(path.c_str());
    if (library_ == nullptr) fail(1, "cannot load " + path);
    init_ = reinterpret_cast<VDXModuleInitProc>(
        reinterpret_cast<void*>(GetProcAddress(library_, kModuleInitExport)));
    deinit_ = reinterpret_cast<VDXModuleDeinitProc>(
        reinterpret_cast<void*>(GetProcAddress(library_, kModuleDeinitExport)));
#else
    library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) fail(1, "cannot load " + path + ": " + dlerror());
    init_ = reinterpret_cast<VDXModuleInitProc>(dlsym(library_, kModuleInitExport));
    deinit_ = reinterpret_cast<VDXModuleDeinitProc>(dlsym(library_, kModuleDeinitExport));
#endif
    if (init_ == nullptr || deinit_ == nullptr) fail(1, path + " lacks the module exports");
    functions_.addFilter = [](FilterModule*, FilterDefinition* definition, int) {
      registered() = definition;
      return definition;
    };
    functions_.removeFilter = [](FilterDefinition*) { registered() = nullptr; };
    int interfaceVersion = 0, compatibleVersion = 0;
    if (init_(nullptr, &functions_, interfaceVersion, compatibleVersion) != 0 ||
        registered() == nullptr) {
      fail(1, path + " registered no filter");
    }
  }

  ~CModule() {
    deinit_(nullptr, &functions_);
#ifdef _WIN32
    FreeLibrary(library_);
#else
    dlclose(library_);
#endif
  }

  const FilterDefinition& definition() const { return *registered(); }
  const FilterFunctions& functions() const { return functions_; }

 private:
  static FilterDefinition*& registered() {
    static FilterDefinition* definition = nullptr;
    return definition;
  }

#ifdef _WIN32
  HMODULE library_ = nullptr;
#else
  void* library_ = nullptr;
#endif
  VDXModuleInitProc init_ = nullptr;
  VDXModuleDeinitProc deinit_ = nullptr;
  FilterFunctions functions_;
};

// The destination's pixels and, when the filter asks for one, its device
// context: on Windows a DIB section selected into a memory DC, whose rows
// are the bitmap's rows (bottom-up, the DIB's stride as pitch).
class CDestination {
 public:
  CDestination(VFBitmap& bitmap, bool needsContext) {
    const long w = bitmap.w, h = bitmap.h;
#ifdef _WIN32
    if (needsContext) {
      // A DIB row is width * 4 bytes; the pitch the filter asked for is
      // covered by a DIB that wide, whose extra pixels are the padding.
      const long dibWidth = static_cast<long>(bitmap.pitch / 4);
      BITMAPINFO info{};
      info.bmiHeader.biSize = sizeof info.bmiHeader;
      info.bmiHeader.biWidth = dibWidth;
      info.bmiHeader.biHeight = h;  // positive: bottom-up, like the host's bitmaps
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 32;
      info.bmiHeader.biCompression = BI_RGB;
      void* bits = nullptr;
      dib_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
      dc_ = CreateCompatibleDC(nullptr);
      if (dib_ == nullptr || dc_ == nullptr) fail(1, "cannot create the device context");
      previous_ = SelectObject(dc_, dib_);
      bitmap.data = static_cast<Pixel32*>(bits);
      bitmap.hdc = dc_;
      return;
    }
#else
    if (needsContext) {
      pixels_.assign(static_cast<std::size_t>(bitmap.pitch / 4 * h), 0);
      bitmap.data = pixels_.data();
      context_ = RDeviceContext{bitmap.data, w, h, bitmap.pitch};
      bitmap.hdc = &context_;
      return;
    }
#endif
    (void)w;
    pixels_.assign(static_cast<std::size_t>(bitmap.pitch / 4 * h), 0);
    bitmap.data = pixels_.data();
    bitmap.hdc = nullptr;
  }

  ~CDestination() {
#ifdef _WIN32
    if (dc_ != nullptr) {
      SelectObject(dc_, previous_);
      DeleteDC(dc_);
    }
    if (dib_ != nullptr) DeleteObject(dib_);
#endif
  }

 private:
  std::vector<Pixel32> pixels_;
#ifdef _WIN32
  HBITMAP dib_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
#else
  RDeviceContext context_{};
#endif
};

void copyTopDownIntoBitmap(const std::vector<Pixel32>& frame, const VFBitmap& bitmap) {
  for (long row = 0; row < bitmap.h; ++row) {
    auto* target = reinterpret_cast<Pixel32*>(reinterpret_cast<char*>(bitmap.data) +
                                              (bitmap.h - 1 - row) * bitmap.pitch);
    std::memcpy(target, frame.data() + row * bitmap.w, static_cast<std::size_t>(bitmap.w) * 4);
  }
}

void appendBitmapTopDown(const VFBitmap& bitmap, std::vector<Pixel32>* frame) {
  for (long row = 0; row < bitmap.h; ++row) {
    const auto* source = reinterpret_cast<const Pixel32*>(
        reinterpret_cast<const char*>(bitmap.data) + (bitmap.h - 1 - row) * bitmap.pitch);
    frame->insert(frame->end(), source, source + bitmap.w);
  }
}

// In the process's own environment, where the filter's initProc reads it:
// Wine sets NUMBER_OF_PROCESSORS itself, whatever the Unix environment says.
void setProcessorCount(int processors) {
  const std::string value = std::to_string(processors);
#ifdef _WIN32
  SetEnvironmentVariableA("NUMBER_OF_PROCESSORS", value.c_str());
#else
  setenv("NUMBER_OF_PROCESSORS", value.c_str(), 1);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const ROptions options = parseOptions(argc, argv);
  std::ifstream input(options.input, std::ios::binary);
  if (!input) fail(2, "cannot read " + options.input);
  input.seekg(0, std::ios::end);
  const auto inputBytes = static_cast<std::uint64_t>(input.tellg());
  input.seekg(0);
  const std::uint64_t frameBytes = static_cast<std::uint64_t>(options.width) * options.height * 4;
  if (inputBytes == 0 || inputBytes % frameBytes != 0) {
    fail(2, options.input + " does not hold whole " + std::to_string(options.width) + "x" +
                std::to_string(options.height) + " frames");
  }
  const long frameCount = static_cast<long>(inputBytes / frameBytes);
  if (options.processors > 0) setProcessorCount(options.processors);

  CModule module(options.module);
  const FilterDefinition& definition = module.definition();
  const FilterFunctions& functions = module.functions();
  const CScriptObject* script = definition.script_obj;
  if (script == nullptr || script->func_list == nullptr ||
      script->func_list[0].func_ptr == nullptr) {
    fail(1, "the filter has no Config function");
  }

  // Zeroed, 8-byte aligned instance memory of the size the definition states.
  std::vector<std::uint64_t> memory(static_cast<std::size_t>(definition.inst_data_size) / 8 + 1, 0);
  VFBitmap source, destination;
  FilterStateInfo state;
  FilterActivation activation(destination, source);
  activation.filter = &definition;
  activation.filter_data = memory.data();
  activation.pfsi = &state;
  definition.initProc(&activation, &functions);

  std::string settings = configArgument(options.settings);
  char* settingsPointer = settings.data();
  CScriptValue argument(&settingsPointer);
  script->func_list[0].func_ptr(nullptr, &activation, &argument, 1);

  std::vector<Pixel32> sourcePixels(static_cast<std::size_t>(options.width * options.height));
  source.w = options.width;
  source.h = options.height;
  source.pitch = options.width * 4;
  source.size = source.pitch * source.h;
  source.data = sourcePixels.data();
  destination.w = source.w;
  destination.h = source.h;
  destination.pitch = source.pitch;
  definition.paramProc(&activation, &functions);
  if (destination.w < 1 || destination.h < 1 || destination.w > 65536 || destination.h > 65536 ||
      destination.pitch < destination.w * 4) {
    fail(1, "the filter asked for an impossible output frame");
  }
  destination.modulo = destination.pitch - destination.w * 4;
  destination.size = destination.pitch * destination.h;
  CDestination destinationPixels(destination, (destination.dwFlags & VFBitmap::NEEDS_HDC) != 0);
  // The filter rewrites the records for fields; every call starts from these.
  const VFBitmap sourceLayout = source, destinationLayout = destination;
  std::printf("%s: %ld frames %ldx%ld -> %ldx%ld\n", definition.name, frameCount, source.w,
              source.h, destination.w, destination.h);

  const std::string temporary = options.output + ".tmp";
  std::ofstream output(temporary, std::ios::binary | std::ios::trunc);
  if (!output) fail(1, "cannot write " + temporary);
  definition.startProc(&activation, &functions);
  std::vector<Pixel32> frame(sourcePixels.size());
  std::vector<Pixel32> outputFrame;
  for (long n = 0; n < frameCount; ++n) {
    input.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(frameBytes));
    if (!input) fail(2, "cannot read frame " + std::to_string(n) + " of " + options.input);
    source = sourceLayout;
    destination = destinationLayout;
    copyTopDownIntoBitmap(frame, source);
    state = FilterStateInfo{};
    state.lCurrentFrame = state.lCurrentSourceFrame = n;
    state.lMicrosecsPerFrame = state.lMicrosecsPerSrcFrame = options.microsecondsPerFrame;
    definition.runProc(&activation, &functions);
    source = sourceLayout;
    destination = destinationLayout;
    outputFrame.clear();
    appendBitmapTopDown(destination, &outputFrame);
    output.write(reinterpret_cast<const char*>(outputFrame.data()),
                 static_cast<std::streamsize>(outputFrame.size() * 4));
    for (const auto& [frameNumber, picture] : options.pictures) {
      std::string error;
      if (frameNumber == n &&
          !qvraw::writePng(picture, outputFrame.data(), static_cast<int>(destination.w),
                           static_cast<int>(destination.h), &error)) {
        fail(1, error);
      }
    }
  }
  definition.endProc(&activation, &functions);
  definition.deinitProc(&activation, &functions);
  output.close();
  if (!output) {
    std::remove(temporary.c_str());
    fail(1, "cannot write " + temporary);
  }
  std::remove(options.output.c_str());  // Windows does not rename over a file
  if (std::rename(temporary.c_str(), options.output.c_str()) != 0) {
    std::remove(temporary.c_str());
    fail(1, "cannot rename " + temporary + " to " + options.output);
  }
  return 0;
}
