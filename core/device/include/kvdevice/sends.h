// Parameter sends as device-thread jobs: what makes two sends "the same
// parameter on the same channel", and the work that sends one from a
// snapshot of the model. No window system.
#pragma once

#include <kvcom/kvcom.h>

namespace device {

// Two queued sends with equal keys write the same setting of the unit, link
// repeat included, so only the newer one needs to go out.
struct SendKey {
    int code = 0;   // parameter code; PC_OUT_SOURCE for a source
    int chan = -1;  // cur_chan; -1 where the message names its own target
    int slot = -1;  // cur_slot of an EQ message
    int row = -1;   // cur_eq, the pool row of an EQ message
    int side = -1;  // xo_side of a crossover message
    int link = 0;   // link_on and figuration decide where the repeat goes
    int figuration = 0;

    bool operator==(const SendKey&) const = default;
};

// The model's cursors, which say where model.SendParam() writes: kept before
// a send aimed elsewhere and restored after it, so the open windows stay
// where the user left them.
struct Cursors {
    int chan, slot, eq, side;
    explicit Cursors(const CDSDATA& m) : chan(m.cur_chan), slot(m.cur_slot), eq(m.cur_eq), side(m.xo_side) {}
    void Restore(CDSDATA& m) const {
        m.cur_chan = chan;
        m.cur_slot = slot;
        m.cur_eq = eq;
        m.xo_side = side;
    }
};

// The key of model.SendParam(code) with the model's cursors as they are.
SendKey ParamKey(const CDSDATA& model, int code);
// The key of model.SendOutSrce(output).
SendKey SourceKey(const CDSDATA& model, int output);

// Sends code from model (its message, repeat and pauses, all in the
// library) and returns the library's result: 1 when every message went
// out, 0 when the link was closed or lost on the way.
int SendParamChecked(CDSDATA& model, int code);
int SendSourceChecked(CDSDATA& model, int output);

}  // namespace device
