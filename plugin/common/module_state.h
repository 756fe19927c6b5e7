// State shared by all instances of the loaded module. Written only on the
// host's thread (initProc, the start callback); worker threads read
// processorCount while a frame call waits for them.
#pragma once

struct FilterDefinition;
class CDlgProgress;

namespace module_state {

// The definition the host returned when the module registered its filter.
extern FilterDefinition* registeredDefinition;

// Processors to use, from "NUMBER_OF_PROCESSORS"; at least 1.
extern int processorCount;

// The progress dialog while a pass-2 start plans; null otherwise.
extern CDlgProgress* progressDialog;

// Reads "NUMBER_OF_PROCESSORS" with decimal text-to-integer rules; missing,
// empty, not a number or below 1 gives 1.
int readProcessorCount();

}  // namespace module_state
