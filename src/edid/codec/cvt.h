#ifndef CVT_H
#define CVT_H

#include "timing.h"

// VESA Coordinated Video Timings: the timing of `hPixels` x `vLines` at `refreshRate` frames per
// second (an interlaced timing runs twice as many fields), with standard blanking or with the
// first version of reduced blanking (CVT-RB). The result is a "Custom" timing with the CVT sync
// polarities (standard H-/V+, reduced blanking H+/V-) and no image size.
//
// Sizes below one pixel or line (two lines when interlaced) and refresh rates that are not a
// positive number, or so high that no time is left for the active lines, have no timing: the
// result then holds the requested sizes and nothing else, and *ok is set to false.
Timing computeTiming(int hPixels, int vLines, double refreshRate, bool margins, bool interlaced,
                     bool reducedBlanking, bool* ok = nullptr);

#endif // CVT_H
