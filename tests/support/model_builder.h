// Filters placed in a model's EQ pool for a test. Two ways, named apart:
//
//  - Open... goes through the library's own pool operations (SetNewPEQ,
//    SetNewInAPEQ, SetNewInBPEQ) as the EQ editor does: the library picks
//    the row, the twin under the stereo link and the DSP, and sends what it
//    sends (hold a WireRecorder, or an open line).
//  - PoolRow, RecountPool, OccupyRows and LoadDspUntil write the pool's
//    arrays directly: exactly the rows, slot lists, DSPs and counts the test
//    states and nothing else, nothing sent. For states the library would not
//    leave by itself, and for tests of the very operations Open... uses.
#pragma once

#include <kvcom/kvcom.h>

namespace kvtest {

// A filter's values as the pool keeps them (type, frequency row, gain
// index, width index).
struct FilterValues {
    int type;
    int freq;
    int gain;
    int width;
};

// The DSP the library gives a new filter of `chan` while the second DSP has
// room: 1 for Out 3..Out 6, 0 for Out 1, Out 2 and the inputs.
int HomeDsp(int chan);

// ---- through the library ---------------------------------------------------

// Opens a filter in `slot` of `chan` (cursors aimed at it first) with the
// channel's pool operation and returns the row now in that slot, or -1 when
// the pool had no room. The values are the library's for a new filter.
int OpenFilter(CDSDATA& m, int chan, int slot);

// Opens a filter in the first free slot of `chan` and writes `values` into
// its pool row (no more messages, no input copy). Returns the row, or -1
// when no slot or row was free.
int OpenFilterWith(CDSDATA& m, int chan, FilterValues values);

// Opens a filter in `slot` of `chan`, then sets type, frequency and gain as
// the EQ editor's controls do: into the row and an input's own copy, and one
// message each. The width stays the new filter's. Returns the row or -1.
int OpenAndEditFilter(CDSDATA& m, int chan, int slot, int type, int freq, int gain);

// ---- written directly ------------------------------------------------------

// One pool row, one part per call; a part not called stays as it was:
//   PoolRow(m, 3).Owner(2).Values({1, 80, 40, 9}).Slot(0).Dsp(1).Counted();
class PoolRow {
public:
    PoolRow(CDSDATA& m, int row) : m_(m), row_(row) {}

    PoolRow& Owner(int chan);         // eq_owner
    PoolRow& Values(FilterValues v);  // eq_type, eq_freq, eq_gain, eq_bw
    PoolRow& InputCopy();             // an input owner's own copy of the values
    PoolRow& Slot(int slot);          // listed in `slot` of the owner's list
    PoolRow& NextSlot();              // listed in the owner's first free slot
    PoolRow& Dsp(int dsp);            // eq_dsp: 0, 1, or -1 for none
    PoolRow& Counted();               // eq_used one more
    PoolRow& Recount();               // eq_used counted again (RecountPool)

private:
    CDSDATA& m_;
    int row_;
};

// Row `row` as the library's allocator leaves a new filter of `chan` in
// `slot` while the second DSP has room: owner, values, HomeDsp, an input's
// own copy, listed in the slot, eq_used one more.
void WriteAllocatedFilter(CDSDATA& m, int chan, int slot, int row, FilterValues values);

// eq_used counted again from the owners of the assignable rows.
void RecountPool(CDSDATA& m);

// Rows first_row.. (count of them) owned by `owner` on `dsp`, in no slot
// list: load on a DSP and fewer free rows, but no filter a page shows.
void OccupyRows(CDSDATA& m, int first_row, int count, int owner, int dsp);

// Where LoadDspUntil starts: at row 38 walking down, or at row 0 walking up.
enum class FromRow { kTop, kBottom };

// Puts rows on DSP `dsp` (0 or 1), one after the other from `from`, until
// the DSP counts `units`; only eq_dsp changes.
void LoadDspUntil(CDSDATA& m, int dsp, int units, FromRow from);

}  // namespace kvtest
