// Interlaced video as two half-height frames.
//
// Before a field is processed, splitField(kBegin) rewrites the host's
// bitmap descriptions, the source frame number and six settings so that they
// describe one field; splitField(kEnd) puts back every saved value, bit
// for bit. No pixels are copied: the source view (and in pass 2 the
// destination view) skips every other stored row:
//
//   stored row:   0   1   2   3   4   5  ...   (row 0 = bottom of the picture)
//   field 0:      x       x       x           secondRowField = 0
//   field 1:          x       x       x       secondRowField = 1
//
// In pass 1 the destination instead becomes one compact half: the first
// field's output fills the upper stored half (the top of the picture), the
// second field's the lower half.
//
// The saved values live in one module-wide area, so each begin must be
// followed by its end within the same callback before the next begin.
#pragma once

#include "plugin/filter_interface.h"

enum class FieldStep { kBegin, kEnd };

// The field a beginning turns the frame into.
struct RFieldChoice {
  int secondRowField = 0;  // 1: stored rows 1, 3, 5, ...; 0: stored rows 0, 2, 4, ...
  int firstField = 1;      // 1 for the field processed first in its frame
  int pass = 1;            // 1: pass-1 destination handling; anything else: pass 2
};

// The end restores what its beginning saved and needs no choice.
void splitField(const FilterActivation* fa, FieldStep step, const RFieldChoice& field = {});
