// libFuzzer harness: the Config parser of the filter on any settings string
// a script could hand it, then the writer into a buffer of any length.
// Neither may read or write outside its memory, whatever the string.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "plugin/common/config_string.h"
#include "plugin/common/instance_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const bool silenced = [] {
    // The newer-version message would otherwise fill the fuzzer's output.
    platform::setMessageBoxHandler(
        [](const std::string&, const std::string&, platform::MessageBoxButtons) {
          return platform::MessageBoxAnswer::kOk;
        });
    return true;
  }();
  (void)silenced;
  if (size == 0) return 0;
  // The first byte chooses the writer's buffer length, the rest is the text.
  const int bufferLength = bytes[0] * 4;
  std::vector<char> text(bytes + 1, bytes + size);
  text.push_back('\0');

  InstanceData data{};
  setDefaultSettings(data);
  std::string logFilePath;
  data.logFilePath = &logFilePath;
  parseConfigString(data, text.data());
  std::vector<char> buffer(static_cast<std::size_t>(bufferLength) + 1, '\x7f');
  writeConfigStatement(data, buffer.data(), bufferLength);
  return 0;
}
