// Which implementation of the hot loops runs: the plain scalar kernels,
// which define every result, or vector kernels that give the same bytes
// faster. SSE2 is part of every x86-64 processor; AVX2 is used only when the
// processor has it, so one build runs everywhere.
//
// The choice is process-wide and read by the worker threads; change it only
// while no pass runs (tests, start-up).
#pragma once

namespace platform {

enum class KernelSet { kPlain = 0, kSse2 = 1, kAvx2 = 2 };

// The fastest set this processor runs.
KernelSet fastestKernelSet();

// The set in force. Starts as the fastest one, or as the plain one when the
// environment variable QUIVENTA_PLAIN_KERNELS is set to anything but "" or
// "0" when the process first asks.
KernelSet kernelSet();

// Chooses the set; a set the processor cannot run falls back to the fastest
// one it can. Returns the set now in force.
KernelSet useKernelSet(KernelSet set);

const char* kernelSetName(KernelSet set);

}  // namespace platform
