#include "channel/channel_editors.h"

#include "editors/dlg_eq.h"
#include "editors/dlg_xover.h"

namespace {

// The program's EQ and crossover editor dialogs, run modally.
class DialogEditors final : public ChannelEditors {
public:
    void EditEq(CDSDATA& model, bool hide_crossover, QWidget* parent) override {
        CDlgEQ editor(model, hide_crossover, parent);
        editor.exec();
    }
    void EditCrossover(CDSDATA& model, QWidget* parent) override {
        CDlgXover editor(model, parent);
        editor.exec();
    }
};

}  // namespace

ChannelEditors& DefaultChannelEditors() {
    static DialogEditors editors;
    return editors;
}
