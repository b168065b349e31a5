// The document's way back: its undo stack, fed by every edit the windows
// send and replayed through the device thread, and the automatic history of
// replaced programs. One per document model; windows that edit the model
// find it through the model (For()), so dialogs need no new plumbing, and
// do nothing when there is none (a dialog on its own in a test).
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include <kvcom/kvcom.h>

#include "history/history_store.h"
#include "kvhistory/undo_stack.h"

class QAction;
class QWidget;

namespace history {

class ProgramHistory : public QObject {
    Q_OBJECT

public:
    ProgramHistory(CDSDATA& model, QObject* parent = nullptr);
    ~ProgramHistory() override;

    // The history of this model, or nullptr.
    static ProgramHistory* For(const CDSDATA& model);

    UndoStack& Stack() { return stack_; }
    HistoryStore& Store() { return store_; }

    bool CanUndo() const { return stack_.CanUndo(); }
    bool CanRedo() const { return stack_.CanRedo(); }
    // Undo or redo the step on top; parent carries the progress window of
    // an EQ filter's pool operation.
    void Undo(QWidget* parent);
    void Redo(QWidget* parent);

    // Before the PC's program or the unit's settings are replaced: the
    // program as it stands goes into the history folder. Never blocks: a
    // failure is told once (notice) and the operation goes on. `program`,
    // when given, is kept in place of the model as it stands now.
    void KeepProgram(const QString& reason, const CDSDATA* program = nullptr);
    // The same for a bank of the unit's memories (".ay" bytes). False when
    // it could not be written.
    bool KeepBank(const QByteArray& bank, const QString& reason);
    // The PC's program was replaced: a new history. Tells so when steps
    // were dropped.
    void NewHistory(const QString& reason);
    // The model changed along with the unit outside an edit (a Download's
    // mutes): the next edit starts from here.
    void Rebase();

    // Edits queued between these two make one step, marked with `source`
    // ("web", "osc", "api"): one remote request, however many settings and
    // messages it took. Not nested.
    void BeginGroup(const std::string& source);
    void EndGroup();

    // Several settings changed at once on the PC (Compare's Take), after
    // they were written over `before`: one step named `label`, whose undo
    // writes the old values (and name) back and sends them with `keys`.
    void RecordStep(const QString& label, const CDSDATA& before, const std::vector<device::SendKey>& keys);

    // The EQ editor's pool operations, after they ran.
    void FilterOpened(int chan, int slot);
    void FilterReleased(int chan, int slot, const FilterValues& values);

signals:
    // Undo or redo is now possible or not, or names another step.
    void stackChanged();
    // Undo or redo wrote the model: open windows show it again.
    void modelRestored();
    // A line for the status bar.
    void notice(const QString& text);

private:
    void OnEdit(const CDSDATA& model, const device::SendKey& key);
    void Replay(QWidget* parent, bool undo);

    CDSDATA& model_;
    UndoStack stack_;
    HistoryStore store_;
    bool replaying_ = false;
    bool failure_told_ = false;
    bool grouping_ = false;
    std::string group_source_;
    std::vector<device::SendKey> group_keys_;
};

// One remote request's edits of `model` as one step of its history, for as
// long as it lives; nothing when the model has no history.
class EditGroup {
public:
    EditGroup(const CDSDATA& model, const std::string& source);
    ~EditGroup();
    EditGroup(const EditGroup&) = delete;
    EditGroup& operator=(const EditGroup&) = delete;

private:
    ProgramHistory* history_;
};

// Before and after the operations that replace the program, for windows
// that have only the model: do nothing when the model has no history.
void KeepProgram(const CDSDATA& model, const QString& reason, const CDSDATA* program = nullptr);
void NewHistory(const CDSDATA& model, const QString& reason);
void Rebase(const CDSDATA& model);

// Gives a modal window (the channel sheet, an editor) Undo and Redo keys
// (Ctrl+Z; Ctrl+Shift+Z and Ctrl+Y) on the model's history, and calls
// refresh after every undo or redo so it shows the values at once.
void AttachUndoKeys(QWidget* window, CDSDATA& model, std::function<void()> refresh);

// AttachUndoKeys, and the two commands as buttons for the window's own
// row, enabled and named as the history allows (nullptr when the model has
// no history).
QWidget* AttachUndoControls(QWidget* window, CDSDATA& model, std::function<void()> refresh);

// The standard keys and texts of the two commands.
void SetUpUndoAction(QAction* action);
void SetUpRedoAction(QAction* action);

}  // namespace history
