#include "history/program_history.h"

#include <QAction>
#include <QHBoxLayout>
#include <QToolButton>
#include <QHash>
#include <QWidget>
#include <algorithm>

#include "device/device_line.h"
#include "device/device_task.h"
#include "document/safe_file_writer.h"

namespace history {

namespace {

QHash<const CDSDATA*, ProgramHistory*>& Registry() {
    static QHash<const CDSDATA*, ProgramHistory*> registry;
    return registry;
}

// Undo and redo on the program's device thread: messages are queued like
// an edit's; a pool operation runs as the EQ editor runs it.
class QueuedLine final : public StepLine {
public:
    explicit QueuedLine(QWidget* parent) : parent_(parent) {}
    void Send(CDSDATA& m, const device::SendKey& key) override {
        if (key.code == PC_OUT_SOURCE)
            device::SendOutSrce(m, key.chan);
        else
            device::SendParam(m, key.code);
    }
    void OpenFilter(CDSDATA& m, int chan, int slot) override {
        RunDeviceTask(parent_, QObject::tr("Assigning an EQ filter..."), m, [chan, slot](CDSDATA& copy) {
            DirectLine().OpenFilter(copy, chan, slot);
            return 1;
        });
    }
    void ReleaseFilter(CDSDATA& m, int chan, int slot) override {
        RunDeviceTask(parent_, QObject::tr("Releasing the EQ filter..."), m, [chan, slot](CDSDATA& copy) {
            DirectLine().ReleaseFilter(copy, chan, slot);
            return 1;
        });
    }

private:
    QWidget* parent_;
};

}  // namespace

ProgramHistory::ProgramHistory(CDSDATA& model, QObject* parent) : QObject(parent), model_(model) {
    stack_.Reset(model_);
    Registry().insert(&model_, this);
    SafeFileWriter::ReserveFolder(
        this, [this] { return store_.Folder(); },
        tr("where the program keeps its history of replaced programs, and only the history writes there"));
    device::SetEditObserver([](const CDSDATA& m, const device::SendKey& key) {
        if (ProgramHistory* h = For(m)) h->OnEdit(m, key);
    });
}

ProgramHistory::~ProgramHistory() {
    SafeFileWriter::ReleaseFolder(this);
    Registry().remove(&model_);
    if (Registry().isEmpty()) device::SetEditObserver(nullptr);
}

ProgramHistory* ProgramHistory::For(const CDSDATA& model) { return Registry().value(&model, nullptr); }

void ProgramHistory::OnEdit(const CDSDATA& model, const device::SendKey& key) {
    if (replaying_) return;
    if (grouping_) {
        if (std::find(group_keys_.begin(), group_keys_.end(), key) == group_keys_.end()) group_keys_.push_back(key);
        return;
    }
    const std::size_t before = stack_.UndoCount();
    const bool could_redo = stack_.CanRedo();
    stack_.RecordEdit(model, key);
    if (stack_.UndoCount() != before || could_redo != stack_.CanRedo()) emit stackChanged();
}

void ProgramHistory::Replay(QWidget* parent, bool undo) {
    // Only one device operation at once; the next key press tries again.
    if (DeviceTaskRunning()) return;
    QueuedLine line(parent);
    replaying_ = true;
    const bool done = undo ? stack_.Undo(model_, line) : stack_.Redo(model_, line);
    replaying_ = false;
    if (!done) return;
    emit stackChanged();
    emit modelRestored();
}

void ProgramHistory::Undo(QWidget* parent) { Replay(parent, true); }
void ProgramHistory::Redo(QWidget* parent) { Replay(parent, false); }

void ProgramHistory::KeepProgram(const QString& reason, const CDSDATA* program) {
    QString why;
    if (store_.KeepProgram(program ? *program : model_, reason, &why)) {
        failure_told_ = false;
        return;
    }
    if (failure_told_) return;
    failure_told_ = true;
    emit notice(tr("The history could not be written (%1); the program goes on without it.").arg(why));
}

bool ProgramHistory::KeepBank(const QByteArray& bank, const QString& reason) {
    QString why;
    if (store_.KeepBank(bank, reason, &why)) {
        failure_told_ = false;
        return true;
    }
    if (!failure_told_) {
        failure_told_ = true;
        emit notice(tr("The history could not be written (%1); the program goes on without it.").arg(why));
    }
    return false;
}

void ProgramHistory::NewHistory(const QString& reason) {
    if (stack_.Reset(model_))
        emit notice(tr("%1: a new undo history starts; earlier edits can no longer be undone.").arg(reason));
    emit stackChanged();
}

void ProgramHistory::Rebase() { stack_.Rebase(model_); }

void ProgramHistory::BeginGroup(const std::string& source) {
    grouping_ = true;
    group_source_ = source;
    group_keys_.clear();
}

void ProgramHistory::EndGroup() {
    if (!grouping_) return;
    grouping_ = false;
    const std::size_t before = stack_.UndoCount();
    const bool could_redo = stack_.CanRedo();
    stack_.RecordEdits(model_, group_keys_, group_source_);
    group_keys_.clear();
    // As for an edit at the desk: a request that joined the step on top
    // leaves the menu's text as it was.
    if (stack_.UndoCount() != before || could_redo != stack_.CanRedo()) emit stackChanged();
}

void ProgramHistory::RecordStep(const QString& label, const CDSDATA& before, const std::vector<device::SendKey>& keys) {
    stack_.RecordStep(before, model_, keys, label.toStdString());
    emit stackChanged();
}

void ProgramHistory::FilterOpened(int chan, int slot) {
    stack_.RecordFilterOpened(model_, chan, slot);
    emit stackChanged();
}

void ProgramHistory::FilterReleased(int chan, int slot, const FilterValues& values) {
    stack_.RecordFilterReleased(model_, chan, slot, values);
    emit stackChanged();
}

// ---------------------------------------------------------------------------

void KeepProgram(const CDSDATA& model, const QString& reason, const CDSDATA* program) {
    if (ProgramHistory* h = ProgramHistory::For(model)) h->KeepProgram(reason, program);
}

void NewHistory(const CDSDATA& model, const QString& reason) {
    if (ProgramHistory* h = ProgramHistory::For(model)) h->NewHistory(reason);
}

void Rebase(const CDSDATA& model) {
    if (ProgramHistory* h = ProgramHistory::For(model)) h->Rebase();
}

EditGroup::EditGroup(const CDSDATA& model, const std::string& source) : history_(ProgramHistory::For(model)) {
    if (history_) history_->BeginGroup(source);
}

EditGroup::~EditGroup() {
    if (history_) history_->EndGroup();
}

void SetUpUndoAction(QAction* action) {
    action->setText(QObject::tr("&Undo"));
    action->setShortcuts(QKeySequence::Undo);
    action->setStatusTip(QObject::tr("Undo the last edit; the unit follows"));
    action->setToolTip(QObject::tr("Undo (Ctrl+Z)"));
    action->setIcon(QIcon::fromTheme(QStringLiteral("edit-undo")));
}

void SetUpRedoAction(QAction* action) {
    action->setText(QObject::tr("&Redo"));
    action->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    action->setStatusTip(QObject::tr("Redo the edit last undone; the unit follows"));
    action->setToolTip(QObject::tr("Redo (Ctrl+Shift+Z)"));
    action->setIcon(QIcon::fromTheme(QStringLiteral("edit-redo")));
}

namespace {

// The two actions of AttachUndoKeys, or nullptr for none.
std::pair<QAction*, QAction*> MakeUndoActions(QWidget* window, CDSDATA& model, std::function<void()> refresh) {
    ProgramHistory* h = ProgramHistory::For(model);
    if (!h) return {nullptr, nullptr};
    auto* undo = new QAction(window);
    auto* redo = new QAction(window);
    undo->setObjectName(QStringLiteral("undoAction"));
    redo->setObjectName(QStringLiteral("redoAction"));
    SetUpUndoAction(undo);
    SetUpRedoAction(redo);
    window->addAction(undo);
    window->addAction(redo);
    QObject::connect(undo, &QAction::triggered, window, [h, window] { h->Undo(window); });
    QObject::connect(redo, &QAction::triggered, window, [h, window] { h->Redo(window); });
    QObject::connect(h, &ProgramHistory::modelRestored, window, [refresh] { refresh(); });
    return {undo, redo};
}

}  // namespace

void AttachUndoKeys(QWidget* window, CDSDATA& model, std::function<void()> refresh) {
    MakeUndoActions(window, model, std::move(refresh));
}

QWidget* AttachUndoControls(QWidget* window, CDSDATA& model, std::function<void()> refresh) {
    const auto [undo, redo] = MakeUndoActions(window, model, std::move(refresh));
    if (!undo) return nullptr;
    ProgramHistory* h = ProgramHistory::For(model);
    auto* row = new QWidget(window);
    row->setObjectName(QStringLiteral("undoControls"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (QAction* a : {undo, redo}) {
        auto* button = new QToolButton(row);
        button->setDefaultAction(a);
        button->setObjectName(a == undo ? QStringLiteral("undoButton") : QStringLiteral("redoButton"));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(false);
        layout->addWidget(button);
    }
    // The buttons say what they would undo or redo, as the Edit menu does.
    auto update = [h, undo = undo, redo = redo] {
        const UndoStack& stack = h->Stack();
        undo->setEnabled(stack.CanUndo());
        redo->setEnabled(stack.CanRedo());
        undo->setToolTip(stack.CanUndo() ? QObject::tr("Undo %1 (Ctrl+Z)").arg(QString::fromStdString(stack.UndoText()))
                                         : QObject::tr("Nothing to undo"));
        redo->setToolTip(stack.CanRedo()
                             ? QObject::tr("Redo %1 (Ctrl+Shift+Z)").arg(QString::fromStdString(stack.RedoText()))
                             : QObject::tr("Nothing to redo"));
    };
    QObject::connect(h, &ProgramHistory::stackChanged, row, update);
    update();
    return row;
}

}  // namespace history
