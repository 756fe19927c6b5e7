#include "plugin/common/module_state.h"

#include "platform/environment.h"
#include "plugin/common/token_reader.h"

namespace module_state {

FilterDefinition* registeredDefinition = nullptr;
int processorCount = 1;
CDlgProgress* progressDialog = nullptr;

int readProcessorCount() {
  std::optional<std::string> value = platform::getEnvironmentVariable("NUMBER_OF_PROCESSORS");
  if (!value) return 1;
  int count = parseDecimalInt(value->c_str());
  return count < 1 ? 1 : count;
}

}  // namespace module_state
