#include "kvdevice/sends.h"

namespace device {

namespace {

bool IsEqCode(int code) {
    switch (code) {
    case PC_IN_EQ_TYPE:
    case PC_IN_EQ_FREQ:
    case PC_IN_EQ_GAIN:
    case PC_IN_EQ_BW:
    case PC_OUT_EQ_TYPE:
    case PC_OUT_EQ_FREQ:
    case PC_OUT_EQ_GAIN:
    case PC_OUT_EQ_BW:
    case PC_IN_EQ_ASSIGN:
    case PC_OUT_EQ_ASSIGN: return true;
    default: return false;
    }
}

bool IsCrossoverCode(int code) {
    return code == PC_XO_HP_TYPE || code == PC_XO_HP_FREQ || code == PC_XO_LP_TYPE || code == PC_XO_LP_FREQ;
}

// These messages carry their own selector, whatever cur_chan holds.
bool NamesItsOwnTarget(int code) {
    return code == PC_INA_DELAY || code == PC_INB_DELAY || code == PC_SUM_DELAY || code == PC_LINK ||
           code == PC_FIGURATION;
}

}  // namespace

SendKey ParamKey(const CDSDATA& model, int code) {
    SendKey key;
    key.code = code;
    key.chan = NamesItsOwnTarget(code) ? -1 : model.cur_chan;
    if (IsEqCode(code)) {
        key.slot = model.cur_slot;
        key.row = model.cur_eq;
    }
    if (IsCrossoverCode(code)) key.side = model.xo_side;
    key.link = model.link_on;
    key.figuration = model.figuration;
    return key;
}

SendKey SourceKey(const CDSDATA& model, int output) {
    SendKey key;
    key.code = PC_OUT_SOURCE;
    key.chan = output;
    key.link = model.link_on;
    key.figuration = model.figuration;
    return key;
}

int SendParamChecked(CDSDATA& model, int code) { return model.SendParam(code); }

int SendSourceChecked(CDSDATA& model, int output) { return model.SendOutSrce(static_cast<unsigned char>(output)); }

}  // namespace device
