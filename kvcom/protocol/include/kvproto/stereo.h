// Stereo partners of the outputs per output configuration; the one place
// that knows which outputs pair up under the stereo link.
#pragma once

namespace kvcom {

// Partner output (0..5) of output `out` under `figuration`, or -1 when it has
// none (Mono, Out 2 and Out 5 in "3 Channel 2 Way", or a non-output code).
int StereoPartner(int figuration, int out);

// True when `out` is the first output of a linked pair (its filters lead
// their twins): Out 1, 3, 5 in "2 Channel 3 Way"; Out 1, 4 in "3 Channel 2 Way".
bool LeadsStereoPair(int figuration, int out);

}  // namespace kvcom
