#include "plugin/common/config_string.h"

#include <cstdio>
#include <cstring>

#include "platform/message_box.h"
#include "plugin/common/settings_schema.h"
#include "plugin/common/token_reader.h"

namespace {

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

void readPosition(InstanceData& data, const RSetting& setting, const char* token) {
  switch (setting.type) {
    case SettingType::kInt:
      data.*setting.intMember = parseDecimalInt(token);
      break;
    case SettingType::kBool:
      data.*setting.intMember = parseDecimalInt(token) == 1 ? 1 : 0;
      break;
    case SettingType::kDouble:
      data.*setting.doubleMember = parseDecimalDouble(token);
      break;
    case SettingType::kString:
      if (data.logFilePath != nullptr) {
        *data.logFilePath = token;
      } else {
        data.logFilePath = new std::string(token);
      }
      break;
  }
}

// What a string older than the position stood for: the behaviour of the
// version that wrote it.
void storeAbsent(InstanceData& data, const RSetting& setting) {
  if (setting.type == SettingType::kDouble) {
    data.*setting.doubleMember = setting.absentValue;
  } else if (setting.type != SettingType::kString) {
    data.*setting.intMember = static_cast<int>(setting.absentValue);
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
  for (const RSetting& setting : settingsSchema()) {
    out += '|';
    switch (setting.type) {
      case SettingType::kInt:
        appendFormatted(out, "%i", data.*setting.intMember);
        break;
      case SettingType::kBool:
        appendFormatted(out, "%i", data.*setting.intMember != 0 ? 1 : 0);
        break;
      case SettingType::kDouble:
        appendFormatted(out, "%lg", data.*setting.doubleMember);
        break;
      case SettingType::kString:
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
  // Positions are in format order, so the fields an older string carries are
  // exactly its first ones.
  for (const RSetting& setting : settingsSchema()) {
    if (version >= setting.sinceVersion) {
      readPosition(data, setting, readField(remaining));
    } else {
      storeAbsent(data, setting);
    }
  }
  // Before version 9 the field meant the opposite: the percentage of vectors
  // that had to be ok to skip the deep analysis. In 32-bit arithmetic that
  // wraps, as the format's int always did, instead of overflowing.
  if (version < 9) {
    data.deepAnalysisPercent =
        static_cast<int>(100u - static_cast<unsigned>(data.deepAnalysisPercent));
  }
  return true;
}
