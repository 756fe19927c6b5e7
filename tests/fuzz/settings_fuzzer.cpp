// libFuzzer harness: the host's reading of settings the user types, as
// --config TEXT and --set NAME=VALUE: the statement reader, the field checks
// and the command line. Bad text must end in a CHostError or a refusal,
// never in a crash or an out-of-range access.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/config_statement.h"
#include "host/host_error.h"
#include "host/settings_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(bytes), size);
  std::string error;
  if (const std::optional<std::string> settings = host::settingsStringFromStatement(text, &error)) {
    const std::vector<std::string> fields = host::splitSettingsFields(*settings);
    if (host::joinSettingsFields(fields) != *settings) __builtin_trap();
    host::checkUserSettingsFields(fields, &error);
    host::checkSettings(fields);
  }
  for (const host::RSettingInfo& setting : host::settingsTable()) {
    host::fieldTextForValue(setting, text, &error);
  }
  for (const char* option : {"--set", "--config", "--log", "--threads", "--size"}) {
    try {
      host::parseCommandLine({"config", option, text});
    } catch (const host::CHostError&) {
    }
  }
  return 0;
}
