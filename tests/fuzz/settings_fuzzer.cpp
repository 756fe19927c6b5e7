// libFuzzer harness: the host's reading of settings the user types, as
// --config TEXT and --set NAME=VALUE: the statement reader, the field checks
// and the command line. Bad text must end in a CHostError or a refusal,
// never in a crash or an out-of-range access. The first byte chooses the
// setting a value is read for and the option that carries the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/config_statement.h"
#include "host/host_error.h"
#include "host/settings_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(bytes + 1), size - 1);
  std::string error;
  if (const std::optional<std::string> settings = host::settingsStringFromStatement(text, &error)) {
    const std::vector<std::string> fields = host::splitSettingsFields(*settings);
    if (host::joinSettingsFields(fields) != *settings) __builtin_trap();
    host::checkUserSettingsFields(fields, &error);
    host::checkSettings(fields);
  }
  const auto settings = host::settingsTable();
  host::fieldTextForValue(settings[bytes[0] % settings.size()], text, &error);
  static const char* const kOptions[] = {"--set", "--config", "--log", "--threads", "--size"};
  try {
    host::parseCommandLine({"config", kOptions[bytes[0] % 5], text});
  } catch (const host::CHostError&) {
  }
  return 0;
}
