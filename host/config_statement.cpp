#include "host/config_statement.h"

#include <cctype>

#include "host/settings_table.h"

namespace host {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v'; }

void skipBlanks(std::string_view text, std::size_t& at) {
  while (at < text.size() && isBlank(text[at])) ++at;
}

// An object path before the function name: identifiers, dots and indexes,
// ending with a dot.
bool isObjectPrefix(std::string_view prefix) {
  if (prefix.empty()) return true;
  if (prefix.back() != '.') return false;
  for (char c : prefix) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.' && c != '[' &&
        c != ']') {
      return false;
    }
  }
  return true;
}

std::string column(std::size_t at) { return "at character " + std::to_string(at + 1); }

}  // namespace

std::optional<std::string> settingsStringFromStatement(std::string_view text, std::string* error) {
  std::size_t at = 0;
  skipBlanks(text, at);
  std::size_t end = text.size();
  while (end > at && isBlank(text[end - 1])) --end;
  const std::string_view trimmed = text.substr(at, end - at);
  if (trimmed.empty()) {
    *error = "the settings statement is empty";
    return std::nullopt;
  }

  const std::size_t name = trimmed.find("Config");
  if (name == std::string_view::npos || !isObjectPrefix(trimmed.substr(0, name))) {
    // Not a statement: a bare settings string starts with its format version.
    const char first = trimmed.front();
    if (!std::isdigit(static_cast<unsigned char>(first)) && first != '-' && first != '+') {
      *error = "expected Config(\"...\") or a settings string starting with its format version";
      return std::nullopt;
    }
    return std::string(trimmed);
  }

  std::size_t pos = at + name + 6;
  skipBlanks(text, pos);
  if (pos >= end || text[pos] != '(') {
    *error = "expected '(' after Config " + column(pos);
    return std::nullopt;
  }
  ++pos;
  skipBlanks(text, pos);
  if (pos >= end || text[pos] != '"') {
    *error = "expected a string in double quotes after Config( " + column(pos);
    return std::nullopt;
  }
  ++pos;
  std::string settings;
  bool closed = false;
  while (pos < end) {
    const char c = text[pos];
    if (c == '"') {
      closed = true;
      ++pos;
      break;
    }
    if (c != '\\') {
      settings += c;
      ++pos;
      continue;
    }
    if (pos + 1 >= end) break;
    const char escaped = text[pos + 1];
    switch (escaped) {
      case '\\':
      case '"':
      case '\'':
        settings += escaped;
        break;
      case 'n':
        settings += '\n';
        break;
      case 't':
        settings += '\t';
        break;
      case 'r':
        settings += '\r';
        break;
      case 'a':
        settings += '\a';
        break;
      case 'b':
        settings += '\b';
        break;
      case 'f':
        settings += '\f';
        break;
      case 'v':
        settings += '\v';
        break;
      case '0':
        settings += '\0';
        break;
      default:
        *error = std::string("unknown escape sequence \\") + escaped + " " + column(pos) +
                 " (write a backslash as \\\\)";
        return std::nullopt;
    }
    pos += 2;
  }
  if (!closed) {
    *error = "the string after Config( has no closing double quote";
    return std::nullopt;
  }
  skipBlanks(text, pos);
  if (pos >= end || text[pos] != ')') {
    *error = "expected ')' after the string " + column(pos);
    return std::nullopt;
  }
  ++pos;
  skipBlanks(text, pos);
  if (pos < end && text[pos] == ';') ++pos;
  skipBlanks(text, pos);
  if (pos < end) {
    *error = "unexpected text after the statement " + column(pos);
    return std::nullopt;
  }
  if (settings.find('\0') != std::string::npos) {
    *error = "the settings string contains a \\0 escape";
    return std::nullopt;
  }
  return settings;
}

std::vector<std::string> splitSettingsFields(std::string_view settings) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t bar = settings.find('|', start);
    if (bar == std::string_view::npos) {
      fields.emplace_back(settings.substr(start));
      return fields;
    }
    fields.emplace_back(settings.substr(start, bar - start));
    start = bar + 1;
  }
}

std::string joinSettingsFields(const std::vector<std::string>& fields) {
  std::string joined;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) joined += '|';
    joined += fields[i];
  }
  return joined;
}

bool checkUserSettingsFields(const std::vector<std::string>& fields, std::string* error) {
  std::optional<long long> version = parseWholeInteger(fields.front());
  if (!version) {
    *error = "the first field \"" + fields.front() + "\" is not a format version";
    return false;
  }
  if (*version > kNewestFormatVersion) {
    *error = "format version " + std::to_string(*version) +
             " was written by a newer version of the filter (this one reads up to " +
             std::to_string(kNewestFormatVersion) + ")";
    return false;
  }
  if (*version < 1) {
    *error = "format version " + std::to_string(*version) + " does not exist";
    return false;
  }
  const int expected = fieldCountOfVersion(static_cast<int>(*version));
  if (static_cast<int>(fields.size()) != expected) {
    *error = "format version " + std::to_string(*version) + " has " + std::to_string(expected) +
             " fields, the string has " + std::to_string(fields.size());
    return false;
  }
  for (const RSettingInfo& setting : settingsTable()) {
    if (setting.position > expected) break;
    const std::string& text = fields[setting.position - 1];
    const bool ok = setting.type == SettingType::kString   ? true
                    : setting.type == SettingType::kDouble ? parseFiniteDouble(text).has_value()
                                                           : parseWholeInteger(text).has_value();
    if (!ok) {
      *error = "field " + std::to_string(setting.position) + " (" + std::string(setting.name) +
               ") is \"" + text + "\", not " +
               (setting.type == SettingType::kDouble ? "a decimal number" : "a whole number");
      return false;
    }
  }
  return true;
}

}  // namespace host
