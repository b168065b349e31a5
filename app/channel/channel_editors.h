// How the channel pages open the EQ and crossover editors. A page sets the
// cursors first (cur_chan, cur_slot and cur_eq for an EQ cell; cur_chan and
// xo_side for a crossover cell), runs the editor modally through this
// interface, and refreshes its grids when the editor returns.
#pragma once

#include <kvcom/kvcom.h>

class QWidget;

class ChannelEditors {
public:
    virtual ~ChannelEditors() = default;
    // The EQ editor on the filter cur_eq in slot cur_slot of cur_chan.
    // hide_crossover is set for the inputs, whose graph has no crossover.
    virtual void EditEq(CDSDATA& model, bool hide_crossover, QWidget* parent) = 0;
    // The crossover editor on side xo_side of output cur_chan.
    virtual void EditCrossover(CDSDATA& model, QWidget* parent) = 0;
};

// The editors the pages use unless another set is given to them: the EQ
// editor CDlgEQ and the crossover editor CDlgXover.
ChannelEditors& DefaultChannelEditors();
