// The video host's plug-in interface: every record the host and the filter
// module exchange, declared once. The host (host/) and the module (plugin/)
// both include this header; nothing else defines these records, and the
// header includes nothing of ours: only plain records and function pointers
// cross the module boundary, so host and module may be built apart.
//
// Calling convention: the host calls every callback of one filter instance on
// one thread, one call at a time (the filter's own re-entry guard covers the
// case where a callback pumps messages and the host calls back in).
//
// Bitmaps: 32-bit pixels 0x00RRGGBB (blue in the lowest byte), rows stored
// bottom-up: `data` points at the bottom line of the picture and row k (from
// the bottom) starts at data + k * pitch bytes.
//
//        data + (h-1)*pitch -> | top line of the picture     | modulo |
//                              | ...                          |        |
//        data               -> | bottom line of the picture  | modulo |
//                               <------ w * 4 bytes ---------><-pad-->
//                               <------------- pitch ----------------->
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

struct FilterModule;  // opaque: the host's record of one loaded module
struct FilterDefinition;
struct FilterActivation;
struct FilterFunctions;
class IScriptInterpreter;  // opaque: the host's script interpreter

using Pixel32 = std::uint32_t;

#ifdef _WIN32
// On Windows the host grants a real GDI device context (HDC) over the
// destination's DIB section, and HWND is a window of the system. These are
// <windows.h>'s own handle types, declared here as it declares them, so the
// header still includes nothing.
struct HDC__;
using HDC = HDC__*;
struct HWND__;
using HWND = HWND__*;
#else
// A device context, as a host without GDI grants one: the plain description
// of the pixels to draw on, in the bitmap layout above. The module draws on
// it with its own drawing code (GDI's pens, fonts, lines, rectangles and
// text), so no C++ object crosses the boundary. Drawing state (selected pen
// and font, colours, current position) does not persist from one call to
// the next: whoever draws sets what it draws with.
struct RDeviceContext {
  Pixel32* bits;         // bottom stored row of the picture
  long width, height;    // pixels, rows
  std::ptrdiff_t pitch;  // bytes from one stored row to the next
};
static_assert(std::is_trivial_v<RDeviceContext> && std::is_standard_layout_v<RDeviceContext>);
using HDC = RDeviceContext*;

// A window of the host (the settings dialog's parent). Opaque: the module
// never looks inside; null means none.
struct RWindow;
using HWND = RWindow*;
#endif

// Interface versions the module reports back from its init entry.
inline constexpr int kFilterInterfaceVersion = 7;
inline constexpr int kFilterCompatibleVersion = 4;

struct VFBitmap {
  Pixel32* data = nullptr;     // bottom row of the picture
  Pixel32* palette = nullptr;  // unused for 32-bit pixels
  int depth = 32;              // bits per pixel
  long w = 0, h = 0;           // pixels, rows
  std::ptrdiff_t pitch = 0;    // bytes from one stored row to the next
  std::ptrdiff_t modulo = 0;   // bytes after the pixels of a row up to the next row
  std::ptrdiff_t size = 0;     // bytes of the whole pixel buffer
  std::ptrdiff_t offset = 0;   // byte offset of `data` within a shared buffer
  std::uint32_t dwFlags = 0;
  HDC hdc = nullptr;  // device context over the pixels when NEEDS_HDC was granted

  enum : std::uint32_t {
    NEEDS_HDC = 1,  // paramProc asks the host for a device context
  };
};

struct FilterStateInfo {
  long lCurrentFrame = 0;          // destination frame number
  long lMicrosecsPerFrame = 0;     // destination frame duration
  long lCurrentSourceFrame = 0;    // source frame number, from 0
  long lMicrosecsPerSrcFrame = 0;  // source frame duration
  long lSourceFrameMS = 0;         // source frame time, milliseconds
  long lDestFrameMS = 0;           // destination frame time, milliseconds
};

// What the host hands to every instance callback. `filter_data` is the
// instance record the host allocated with the definition's inst_data_size.
struct FilterActivation {
  FilterActivation(VFBitmap& dstBitmap, VFBitmap& srcBitmap, VFBitmap* lastBitmap = nullptr)
      : dst(dstBitmap), src(srcBitmap), last(lastBitmap) {}

  const FilterDefinition* filter = nullptr;
  void* filter_data = nullptr;
  VFBitmap& dst;
  VFBitmap& src;
  VFBitmap* last;
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  FilterStateInfo* pfsi = nullptr;  // the interlace split renumbers frames in place
};

// The host's function table. Add and remove come first; the module uses
// nothing else.
struct FilterFunctions {
  FilterDefinition* (*addFilter)(FilterModule* module, FilterDefinition* definition,
                                 int definitionSize) = nullptr;
  void (*removeFilter)(FilterDefinition* definition) = nullptr;
};

// A script argument as the interpreter passes it; the filter's Config
// function only ever receives one string.
class CScriptValue {
 public:
  enum class Type { kVoid, kInt, kString };

  CScriptValue() = default;
  explicit CScriptValue(int value) : type_(Type::kInt), intValue_(value) {}
  // The interpreter owns the string; the value refers to its pointer.
  explicit CScriptValue(char** value) : type_(Type::kString), stringValue_(value) {}

  Type type() const { return type_; }
  bool isInt() const { return type_ == Type::kInt; }
  bool isString() const { return type_ == Type::kString; }
  int asInt() const { return intValue_; }
  char** asString() const { return stringValue_; }

 private:
  Type type_ = Type::kVoid;
  int intValue_ = 0;
  char** stringValue_ = nullptr;
};

// `lpVoid` is the FilterActivation of the instance the script configures.
using ScriptFunctionPtr = void (*)(IScriptInterpreter* interpreter, void* lpVoid,
                                   CScriptValue* argv, int argc);

struct ScriptFunctionDef {
  ScriptFunctionPtr func_ptr;
  const char* name;
  const char* arg_fmt;  // result type then argument types: "0s" = no result, one string
};

struct ScriptObjectDef;
using ScriptObjectLookupFuncPtr = char* (*)(IScriptInterpreter*, void*, char*);

struct CScriptObject {
  ScriptObjectLookupFuncPtr Lookup;
  ScriptFunctionDef* func_list;  // ends with an all-null entry
  ScriptObjectDef* obj_list;
};

using FilterInitProc = int (*)(FilterActivation* fa, const FilterFunctions* ff);
using FilterDeinitProc = void (*)(FilterActivation* fa, const FilterFunctions* ff);
using FilterRunProc = int (*)(const FilterActivation* fa, const FilterFunctions* ff);
using FilterParamProc = long (*)(FilterActivation* fa, const FilterFunctions* ff);
using FilterConfigProc = int (*)(FilterActivation* fa, const FilterFunctions* ff, HWND parent);
using FilterStringProc = void (*)(const FilterActivation* fa, const FilterFunctions* ff,
                                  char* buffer);
using FilterStartProc = int (*)(FilterActivation* fa, const FilterFunctions* ff);
using FilterEndProc = int (*)(FilterActivation* fa, const FilterFunctions* ff);
using FilterScriptStrProc = bool (*)(FilterActivation* fa, const FilterFunctions* ff, char* buffer,
                                     int bufferLength);

// paramProc's result that asks for separate source and destination buffers.
inline constexpr long FILTERPARAM_SWAP_BUFFERS = 1;

// stringProc writes at most this many bytes, terminator included.
inline constexpr int kFilterStringBufferSize = 50;

// The 18 slots, in the host's order.
struct FilterDefinition {
  FilterDefinition* next;
  FilterDefinition* prev;
  FilterModule* module;
  const char* name;
  const char* desc;
  const char* maker;
  void* private_data;
  int inst_data_size;
  FilterInitProc initProc;
  FilterDeinitProc deinitProc;
  FilterRunProc runProc;
  FilterParamProc paramProc;
  FilterConfigProc configProc;
  FilterStringProc stringProc;
  FilterStartProc startProc;
  FilterEndProc endProc;
  CScriptObject* script_obj;
  FilterScriptStrProc fssProc;
};

// The module's two exports, looked up by name.
using VDXModuleInitProc = int (*)(FilterModule* module, const FilterFunctions* functions,
                                  int& interfaceVersion, int& compatibleVersion);
using VDXModuleDeinitProc = void (*)(FilterModule* module, const FilterFunctions* functions);
inline constexpr const char* kModuleInitExport = "VirtualdubFilterModuleInit2";
inline constexpr const char* kModuleDeinitExport = "VirtualdubFilterModuleDeinit";
