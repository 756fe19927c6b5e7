#include "host/filter_settings.h"

#include <optional>

#include "host/config_statement.h"
#include "host/host_error.h"
#include "host/settings_table.h"

namespace host {

std::string CFilterSettings::statement() { return instance_.settingsStatement(); }

std::vector<std::string> CFilterSettings::fields() {
  const std::string written = statement();
  std::string error;
  std::optional<std::string> settings = settingsStringFromStatement(written, &error);
  if (!settings) failRuntime("the filter wrote an unreadable settings statement: " + error);
  return splitSettingsFields(*settings);
}

void CFilterSettings::applyUserStatement(const std::string& text) {
  std::string error;
  std::optional<std::string> settings = settingsStringFromStatement(text, &error);
  if (!settings) failUsage("--config: " + error);
  if (!checkUserSettingsFields(splitSettingsFields(*settings), &error)) {
    failUsage("--config: " + error);
  }
  instance_.applySettingsString(*settings);
}

void CFilterSettings::setField(int position, const std::string& fieldText,
                               const std::string& name) {
  std::vector<std::string> current = fields();
  if (position < 2 || position > static_cast<int>(current.size())) {
    failUsage("the filter module's settings have no " + name + " (position " +
              std::to_string(position) + ")");
  }
  current[position - 1] = fieldText;
  instance_.applySettingsString(joinSettingsFields(current));
}

int CFilterSettings::outputDelayFrames() {
  const std::vector<std::string> current = fields();
  if (static_cast<int>(current.size()) < kFutureFramesPosition) return 0;
  const std::optional<long long> use = parseWholeInteger(current[kUseFutureFramesPosition - 1]);
  const std::optional<long long> frames = parseWholeInteger(current[kFutureFramesPosition - 1]);
  if (!use || *use != 1 || !frames || *frames <= 0) return 0;
  return static_cast<int>(*frames);
}

}  // namespace host
