#include "plugin/common/config_string.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/message_box.h"
#include "plugin/common/token_reader.h"

namespace {

enum class Kind { kInt, kBool, kDouble, kPath };

struct RField {
  Kind kind;
  int InstanceData::*intMember;
  double InstanceData::*doubleMember;
};

constexpr RField intField(int InstanceData::*member) { return {Kind::kInt, member, nullptr}; }
constexpr RField boolField(int InstanceData::*member) { return {Kind::kBool, member, nullptr}; }
constexpr RField doubleField(double InstanceData::*member) {
  return {Kind::kDouble, nullptr, member};
}
constexpr RField pathField() { return {Kind::kPath, nullptr, nullptr}; }

// Positions 2 to 61 of the string, in order.
constexpr std::array<RField, 60> kFields = {
    intField(&InstanceData::pass),                               //  2
    intField(&InstanceData::blockSize),                          //  3
    intField(&InstanceData::differentialSearchRange),            //  4
    doubleField(&InstanceData::sourcePixelAspect),               //  5
    intField(&InstanceData::sourcePixelAspectPreset),            //  6
    doubleField(&InstanceData::destPixelAspect),                 //  7
    intField(&InstanceData::destPixelAspectPreset),              //  8
    intField(&InstanceData::destWidth),                          //  9
    intField(&InstanceData::destHeight),                         // 10
    intField(&InstanceData::scale),                              // 11
    intField(&InstanceData::usePixels),                          // 12
    boolField(&InstanceData::colorModeRgb),                      // 13
    intField(&InstanceData::smoothHorizontalPanning),            // 14
    intField(&InstanceData::smoothVerticalPanning),              // 15
    intField(&InstanceData::smoothRotation),                     // 16
    intField(&InstanceData::smoothZoom),                         // 17
    doubleField(&InstanceData::discardWrongDirection),           // 18
    boolField(&InstanceData::videoOutput),                       // 19
    intField(&InstanceData::edgeCompensation),                   // 20
    intField(&InstanceData::resampling),                         // 21
    intField(&InstanceData::skipFramePercent),                   // 22
    intField(&InstanceData::initialSearchRange),                 // 23
    intField(&InstanceData::discardMatchValue),                  // 24
    intField(&InstanceData::discardSecondBest),                  // 25
    pathField(),                                                 // 26
    boolField(&InstanceData::appendToLogFile),                   // 27
    boolField(&InstanceData::ignoreOutside),                     // 28
    intField(&InstanceData::ignoreOutsideLeft),                  // 29
    intField(&InstanceData::ignoreOutsideRight),                 // 30
    intField(&InstanceData::ignoreOutsideTop),                   // 31
    intField(&InstanceData::ignoreOutsideBottom),                // 32
    boolField(&InstanceData::ignoreInside),                      // 33
    intField(&InstanceData::ignoreInsideLeft),                   // 34
    intField(&InstanceData::ignoreInsideRight),                  // 35
    intField(&InstanceData::ignoreInsideTop),                    // 36
    intField(&InstanceData::ignoreInsideBottom),                 // 37
    boolField(&InstanceData::interlaced),                        // 38
    boolField(&InstanceData::upperFieldFirst),                   // 39
    doubleField(&InstanceData::extraZoom),                       // 40
    doubleField(&InstanceData::maxCorrectionHorizontalPanning),  // 41
    doubleField(&InstanceData::maxCorrectionVerticalPanning),    // 42
    doubleField(&InstanceData::maxCorrectionRotation),           // 43
    doubleField(&InstanceData::maxCorrectionZoom),               // 44
    boolField(&InstanceData::usePreviousFrames),                 // 45
    boolField(&InstanceData::useFutureFrames),                   // 46
    intField(&InstanceData::previousFrames),                     // 47
    intField(&InstanceData::futureFrames),                       // 48
    boolField(&InstanceData::ignoreAreaFollowsMotion),           // 49
    intField(&InstanceData::deepAnalysisPercent),                // 50
    boolField(&InstanceData::rollingShutter),                    // 51
    boolField(&InstanceData::interlacedProgressive),             // 52
    boolField(&InstanceData::sameDestAsSource),                  // 53
    boolField(&InstanceData::softBorders),                       // 54
    boolField(&InstanceData::extrapolateColors),                 // 55
    intField(&InstanceData::edgeTransitionWidth),                // 56
    boolField(&InstanceData::ignoreDarker),                      // 57
    doubleField(&InstanceData::darkerThanPercent),               // 58
    doubleField(&InstanceData::discardAbsoluteMotion),           // 59
    boolField(&InstanceData::rememberDiscardedAreas),            // 60
    doubleField(&InstanceData::rollingShutterAmount),            // 61
};

// Fields of older format versions: positions first..last exist from version
// `since` on. Positions 2 to 37 exist in every version.
struct RVersionGroup {
  int first, last, since;
};
constexpr std::array<RVersionGroup, 10> kVersionGroups = {{
    {38, 44, 2},
    {45, 48, 3},
    {49, 49, 4},
    {50, 50, 6},
    {51, 52, 7},
    {53, 55, 8},
    {56, 58, 9},
    {59, 59, 10},
    {60, 60, 11},
    {61, 61, 12},
}};

// What a string older than a group stood for: the behaviour of the version
// that wrote it.
void storeAbsentGroup(InstanceData& data, int since) {
  switch (since) {
    case 2:
      data.interlaced = 0;
      data.upperFieldFirst = 0;
      data.extraZoom = 1.0;
      data.maxCorrectionHorizontalPanning = 100.0;
      data.maxCorrectionVerticalPanning = 100.0;
      data.maxCorrectionRotation = 100.0;
      data.maxCorrectionZoom = 100.0;
      break;
    case 3:
      data.usePreviousFrames = 0;
      data.useFutureFrames = 0;
      data.previousFrames = 0;
      data.futureFrames = 0;
      break;
    case 4:
      data.ignoreAreaFollowsMotion = 0;
      break;
    case 6:
      data.deepAnalysisPercent = 100;
      break;
    case 7:
      data.rollingShutter = 0;
      data.interlacedProgressive = 0;
      break;
    case 8:
      data.sameDestAsSource = 0;
      data.softBorders = 0;
      data.extrapolateColors = 0;
      break;
    case 9:
      data.edgeTransitionWidth = 0;
      data.ignoreDarker = 0;
      data.darkerThanPercent = 15.0;
      break;
    case 10:
      data.discardAbsoluteMotion = 1000.0;
      break;
    case 11:
      data.rememberDiscardedAreas = 0;
      break;
    case 12:
      data.rollingShutterAmount = 88.0;
      break;
    default:
      break;
  }
}

// One field of the string. An empty field ("||", which the writer produces
// only for an empty log path) reads as empty and keeps the fields after it in
// place, so an empty path survives a round trip.
char* readField(char*& remaining) {
  while (*remaining == ' ' || *remaining == '\t' || *remaining == '\n' || *remaining == '\v' ||
         *remaining == '\f' || *remaining == '\r') {
    ++remaining;
  }
  if (*remaining == '|') {
    *remaining = '\0';
    char* empty = remaining;
    ++remaining;
    return empty;
  }
  return readToken(remaining, "|");
}

void readPosition(InstanceData& data, int position, const char* token) {
  const RField& field = kFields[position - 2];
  switch (field.kind) {
    case Kind::kInt:
      data.*field.intMember = parseDecimalInt(token);
      break;
    case Kind::kBool:
      data.*field.intMember = parseDecimalInt(token) == 1 ? 1 : 0;
      break;
    case Kind::kDouble:
      data.*field.doubleMember = parseDecimalDouble(token);
      break;
    case Kind::kPath:
      if (data.logFilePath != nullptr) {
        *data.logFilePath = token;
      } else {
        data.logFilePath = new std::string(token);
      }
      break;
  }
}

void appendFormatted(std::string& out, const char* format, auto value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  out += text;
}

}  // namespace

std::string formatConfigStatement(const InstanceData& data) {
  std::string out = "Config(\"";
  appendFormatted(out, "%i", kConfigFormatVersion);
  for (const RField& field : kFields) {
    out += '|';
    switch (field.kind) {
      case Kind::kInt:
        appendFormatted(out, "%i", data.*field.intMember);
        break;
      case Kind::kBool:
        appendFormatted(out, "%i", data.*field.intMember != 0 ? 1 : 0);
        break;
      case Kind::kDouble:
        appendFormatted(out, "%lg", data.*field.doubleMember);
        break;
      case Kind::kPath:
        // The script interpreter undoes backslash escapes when it reads the
        // statement back; nothing else needs escaping in a path we write.
        if (data.logFilePath != nullptr) {
          for (char c : *data.logFilePath) {
            if (c == '\\') out += '\\';
            out += c;
          }
        }
        break;
    }
  }
  out += "\")";
  return out;
}

void writeConfigStatement(const InstanceData& data, char* buffer, int bufferLength) {
  if (buffer == nullptr || bufferLength <= 0) return;
  std::string statement = formatConfigStatement(data);
  if (statement.size() + 1 > static_cast<std::size_t>(bufferLength)) {
    buffer[0] = '\0';
    return;
  }
  std::memcpy(buffer, statement.c_str(), statement.size() + 1);
}

bool parseConfigString(InstanceData& data, char* text) {
  char* remaining = text;
  int version = parseDecimalInt(readField(remaining));
  if (version > kConfigFormatVersion) {
    platform::messageBox(kNewerVersionMessage, "Quiventa", platform::MessageBoxButtons::kOk);
    return false;
  }
  for (int position = 2; position <= 37; ++position) {
    readPosition(data, position, readField(remaining));
  }
  for (const RVersionGroup& group : kVersionGroups) {
    if (version >= group.since) {
      for (int position = group.first; position <= group.last; ++position) {
        readPosition(data, position, readField(remaining));
      }
    } else {
      storeAbsentGroup(data, group.since);
    }
  }
  // Before version 9 the field meant the opposite: the percentage of vectors
  // that had to be ok to skip the deep analysis.
  if (version < 9) data.deepAnalysisPercent = 100 - data.deepAnalysisPercent;
  return true;
}
