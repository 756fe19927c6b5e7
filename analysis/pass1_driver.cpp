#include "analysis/pass1_driver.h"

#include "plugin/instance_data.h"

void processPass1Frame(const FilterActivation* fa, const FilterFunctions*, int) {
  InstanceData& data = *instanceOf(fa);
  // Motion analysis, output drawing and the log line come in here.
  data.framesProcessed += 1;
  data.lastSourceFrame = static_cast<int>(fa->pfsi->lCurrentSourceFrame);
}
