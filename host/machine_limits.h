// What this machine has, and the bounds the host derives from it for the
// values that size threads and memory: a setting that would start more
// threads than the machine can run usefully, or hold more frames than its
// memory takes, is refused before anything runs instead of failing (or
// swapping) in the middle of a long job.
//
// Memory is the smallest of the physical memory, the process's address-space
// and data limits and the control group's memory limit; the bound is not
// what is free now, so a job is not refused because of what else runs.
//
// Pure functions of the machine; thread-safe.
#pragma once

#include <cstdint>
#include <string>

namespace host {

// Processor cores (at least 1).
int machineCores();
// The most worker threads the filter is given: a few per core keep every
// core busy while a thread waits; more only cost memory and start-up time.
int maximumProcessorCount();

// Bytes of memory one process can use on this machine.
std::uint64_t usableMemoryBytes();

// A size in bytes for messages: "83 GB", "1.5 GB", "640 MB".
std::string formatBytes(std::uint64_t bytes);

// The memory a run needs for its pictures, roughly: the pictures the host
// keeps, the filter's frame copies and per-pixel tables and the encoder's
// lookahead. Sizes in pixels; `heldFrames` full copies of the source.
struct RRunPictures {
  long long sourceWidth = 0, sourceHeight = 0;
  long long destinationWidth = 0, destinationHeight = 0;
  long long heldFrames = 0;  // pass 2: previous and future frames kept for edge compensation
  bool analysis = false;     // pass 1: two image pyramids of the source
};
std::uint64_t runMemoryBytes(const RRunPictures& pictures);

// Throws CHostError (usage) when the run would need more than `usable`
// bytes; the message names `what` (e.g. "pass 2 of a 1920x1080 source") and
// both amounts.
void requireMemoryFor(const RRunPictures& pictures, const std::string& what,
                      std::uint64_t usable = usableMemoryBytes());

}  // namespace host
