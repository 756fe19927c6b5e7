#include "host/settings_table.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>

namespace host {
namespace {

// Frames held for edge compensation are full copies of the source; beyond
// this the filter would exhaust memory, and the host's end-of-clip delay
// calls would run for hours.
constexpr long long kMaxHeldFrames = 10000;
// Destination sizes beyond this overflow the encoders and the frame buffers.
constexpr long long kMaxDestinationSide = 32768;
// Beyond the dialog's largest smoothness the weights get so small that the
// smoothing of a long clip runs to its iteration cap instead of converging.
constexpr long long kMaxSmoothness = 100000;
// A transition wider than the widest frame the host processes blends nothing
// more; the limit keeps the filter's border arithmetic within its integers.
constexpr long long kMaxTransitionWidth = 65536;

std::string_view trimBlanks(std::string_view text) {
  const char* blanks = " \t\n\v\f\r";
  const std::size_t begin = text.find_first_not_of(blanks);
  if (begin == std::string_view::npos) return {};
  const std::size_t end = text.find_last_not_of(blanks);
  return text.substr(begin, end - begin + 1);
}

std::string formatRangeNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// Settings read from the fields for the checks; absent ones stay unset.
class CFieldReader {
 public:
  explicit CFieldReader(const std::vector<std::string>& fields) : fields_(fields) {}
  bool present(int position) const { return position <= static_cast<int>(fields_.size()); }
  const std::string& text(int position) const { return fields_[position - 1]; }
  std::optional<double> number(int position) const {
    if (!present(position)) return std::nullopt;
    return parseFiniteDouble(text(position));
  }
  bool flag(int position) const {
    std::optional<long long> value =
        present(position) ? parseWholeInteger(text(position)) : std::nullopt;
    return value && *value == 1;
  }

 private:
  const std::vector<std::string>& fields_;
};

}  // namespace

std::optional<long long> parseWholeInteger(std::string_view text) {
  text = trimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> parseFiniteDouble(std::string_view text) {
  text = trimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  double value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

bool carriesInSettingsString(std::string_view text) {
  return text.find_first_of("|\"\r\n") == std::string_view::npos;
}

std::optional<std::string> fieldTextForValue(const RSettingInfo& setting, std::string_view value,
                                             std::string* error) {
  const std::string quoted = std::string(setting.name) + "=" + std::string(value);
  switch (setting.type) {
    case SettingType::kInt: {
      std::optional<long long> number = parseWholeInteger(value);
      if (!number || *number < INT_MIN || *number > INT_MAX) {
        *error =
            quoted + ": " + std::string(setting.name) + " takes a whole number (32-bit integer)";
        return std::nullopt;
      }
      return std::to_string(*number);
    }
    case SettingType::kBool: {
      const std::string_view word = trimBlanks(value);
      if (word == "1" || word == "true") return "1";
      if (word == "0" || word == "false") return "0";
      *error = quoted + ": " + std::string(setting.name) + " takes 0 or 1 (or false or true)";
      return std::nullopt;
    }
    case SettingType::kDouble: {
      std::optional<double> number = parseFiniteDouble(value);
      if (!number) {
        *error = quoted + ": " + std::string(setting.name) + " takes a finite decimal number";
        return std::nullopt;
      }
      // The shortest text that reads back as the same double.
      char text[64];
      const auto result = std::to_chars(text, text + sizeof text, *number);
      return std::string(text, result.ptr);
    }
    case SettingType::kString:
      if (!carriesInSettingsString(value)) {
        *error = quoted + ": " + std::string(setting.name) + " cannot contain " +
                 kUncarriedCharacters + " (the settings string cannot carry them)";
        return std::nullopt;
      }
      return std::string(value);
  }
  return std::nullopt;
}

RSettingsCheck checkSettings(const std::vector<std::string>& fields) {
  RSettingsCheck check;
  CFieldReader reader(fields);

  for (const RSettingInfo& setting : settingsTable()) {
    if (!reader.present(setting.position)) continue;
    const std::string& text = reader.text(setting.position);
    const std::string shown = std::string(setting.name) + "=" + text;
    if (setting.type == SettingType::kString) {
      if (text.empty()) {
        check.errors.push_back(shown + ": the log file path must not be empty");
      } else if (!carriesInSettingsString(text)) {
        check.errors.push_back(shown + ": a log file path with " + kUncarriedCharacters +
                               " cannot be carried by the settings statement");
      }
      continue;
    }
    std::optional<double> value = parseFiniteDouble(text);
    const bool integral = setting.type != SettingType::kDouble;
    if (!value || (integral && !parseWholeInteger(text))) {
      check.errors.push_back(shown + ": not " +
                             (integral ? "a whole number" : "a finite decimal number"));
      continue;
    }
    if (hasDialogRange(setting) && setting.position != kPassPosition &&
        (*value < setting.min || *value > setting.max)) {
      check.warnings.push_back(shown + " is outside the dialog range " +
                               formatRangeNumber(setting.min) + " to " +
                               formatRangeNumber(setting.max) + " (used as given)");
    }
  }
  if (!check.errors.empty()) return check;

  auto refuse = [&](int position, bool wrong, const char* rule) {
    if (!reader.present(position) || !wrong) return;
    check.errors.push_back(std::string(settingsTable()[position - 2].name) + "=" +
                           reader.text(position) + " would make the filter misbehave: " + rule);
  };
  auto value = [&](int position) { return reader.number(position).value_or(0.0); };

  refuse(3, value(3) < 1, "blockSize must be at least 1");
  refuse(4, value(4) < 0, "differentialSearchRange must not be negative");
  refuse(5, value(5) <= 0, "sourcePixelAspect must be greater than 0");
  refuse(7, value(7) <= 0, "destPixelAspect must be greater than 0");
  const bool ownDestinationSize = reader.present(53) && !reader.flag(53);
  for (int position : {9, 10}) {
    refuse(position, ownDestinationSize && value(position) < 1,
           "with sameDestAsSource=0 the destination size must be at least 1");
    refuse(position, ownDestinationSize && value(position) > kMaxDestinationSide,
           "the destination side may be at most 32768 pixels");
  }
  refuse(11, value(11) < 0, "scale must not be negative");
  refuse(12, value(12) < 1, "usePixels must be at least 1");
  refuse(23, value(23) < 0, "initialSearchRange must not be negative");
  if (reader.flag(28)) {
    for (int position = 29; position <= 32; ++position) {
      refuse(position, value(position) < 0, "with ignoreOutside=1 margins must not be negative");
    }
  }
  if (reader.flag(33)) {
    for (int position = 34; position <= 37; ++position) {
      refuse(position, value(position) < 0, "with ignoreInside=1 distances must not be negative");
    }
  }
  refuse(40, value(40) <= 0, "extraZoom must be greater than 0");
  for (int position = 41; position <= 44; ++position) {
    refuse(position, value(position) < 0, "correction limits must not be negative");
  }
  for (int position : {47, 48}) {
    refuse(position, value(position) < 0, "frame counts must not be negative");
    refuse(position, value(position) > kMaxHeldFrames,
           "more than 10000 held frames would exhaust memory");
  }
  for (int position = 14; position <= 17; ++position) {
    refuse(position, value(position) > kMaxSmoothness,
           "beyond a smoothness of 100000 the smoothing does not converge on long clips");
  }
  refuse(56, value(56) < 0, "edgeTransitionWidth must not be negative");
  refuse(56, value(56) > kMaxTransitionWidth,
         "edgeTransitionWidth may be at most 65536 pixels (wider than any frame)");
  return check;
}

std::vector<std::string> settingsWithoutEffect(const std::vector<std::string>& fields,
                                               const std::vector<std::string>& changed) {
  CFieldReader reader(fields);
  auto isSet = [&](std::string_view name) { return reader.flag(findSetting(name)->position); };
  auto state = [&](std::string_view name) {
    return std::string(name) + "=" + (isSet(name) ? "1" : "0");
  };
  std::vector<std::string> warnings;
  for (const std::string& name : changed) {
    const RSettingInfo* setting = findSetting(name);
    if (setting == nullptr || !reader.present(setting->position)) continue;
    std::string reasons;
    for (const RSettingCondition& condition : setting->conditions) {
      if (condition.flag.empty() || conditionHolds(condition, isSet)) {
        continue;
      }
      if (!reader.present(findSetting(condition.flag)->position)) continue;
      std::string reason = state(condition.flag);
      if (!condition.orFlag.empty()) reason += " and " + state(condition.orFlag);
      reasons += (reasons.empty() ? "" : " and ") + reason;
    }
    if (reasons.empty()) continue;
    const std::string warning = name + " has no effect while " + reasons;
    if (std::find(warnings.begin(), warnings.end(), warning) == warnings.end()) {
      warnings.push_back(warning);
    }
  }
  return warnings;
}

const char* refusedValuesDescription() {
  return "  blockSize < 1, usePixels < 1, scale < 0, differentialSearchRange < 0,\n"
         "  initialSearchRange < 0, sourcePixelAspect or destPixelAspect <= 0, extraZoom <= 0,\n"
         "  a negative correction limit (maxCorrection...), previousFrames or futureFrames\n"
         "  below 0 or above 10000, a smoothness (smooth...) above 100000, edgeTransitionWidth\n"
         "  below 0 or above 65536, destWidth or destHeight below 1 or above 32768 when\n"
         "  sameDestAsSource=0, negative ignore margins or distances while their area is on,\n"
         "  an empty logFilePath or one with '|', a double quote or a line break, and sizes\n"
         "  and held frames whose pictures would not fit this machine's memory.\n";
}

}  // namespace host
