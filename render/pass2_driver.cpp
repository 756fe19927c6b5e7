#include "render/pass2_driver.h"

#include "plugin/instance_data.h"

void processPass2Frame(const FilterActivation* fa, const FilterFunctions*, int) {
  InstanceData& data = *instanceOf(fa);
  // Rendering from the plan comes in here.
  data.framesProcessed += 1;
  data.lastSourceFrame = static_cast<int>(fa->pfsi->lCurrentSourceFrame);
}
