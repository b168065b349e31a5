#include "memory/dlg_memory.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>
#include <QTime>
#include <QFileDialog>
#include <QGridLayout>
#include <QVBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <kvcom/kvcom.h>

#include "compare/dlg_compare.h"
#include "document/my758_doc.h"
#include "document/safe_file_writer.h"
#include "kvhistory/model_fields.h"
#include "history/program_history.h"
#include "memory/bank_file_io.h"
#include "memory/dlg_memory_no.h"
#include "device/device_line.h"
#include "device/device_task.h"
#include "widgets/link_text.h"
#include "widgets/dialog_units.h"
#include "widgets/icons.h"
#include "widgets/link_guard.h"
#include "widgets/message_box.h"
#include "widgets/screen_fit.h"
#include "widgets/status_feedback.h"
#include "widgets/string_table.h"

namespace {

constexpr int kMemoryCount = KV_MEMORIES - 1;  // memories 1..60
const char* const kBankFilter = "KALVORE File(*.ay)";

// The application's title, the caption of its messages.
QString AppTitle() { return DocTemplateField(kDocWindowTitle); }

// A table name as text: at most 8 characters, up to its NUL.
QString MemoryName(int m) { return QString::fromLatin1(data_name[m], static_cast<int>(strnlen(data_name[m], 8))); }

bool IsUsed(int m) { return data_memoryb[m] != 0; }

int UsedMemories() {
    int used = 0;
    for (int m = 1; m <= kMemoryCount; ++m) used += IsUsed(m) ? 1 : 0;
    return used;
}

// "1 memory", "20 memories".
QString Memories(int count) {
    return count == 1 ? CDlgMemory::tr("1 memory") : CDlgMemory::tr("%1 memories").arg(count);
}

// Where the library's memory table came from; it outlives the dialog.
QString g_table_source;

// The whole memory table, to put it back after the unit's memories were
// read for a copy.
struct MemoryTableCopy {
    std::vector<unsigned char> images{std::vector<unsigned char>(sizeof prog_save)};
    int lengths[KV_MEMORIES] = {};
    char names[KV_MEMORIES][sizeof data_name[0]] = {};
    int used[KV_MEMORIES] = {};

    MemoryTableCopy() {
        std::memcpy(images.data(), prog_save, sizeof prog_save);
        std::memcpy(lengths, prog_len, sizeof lengths);
        std::memcpy(names, data_name, sizeof names);
        std::memcpy(used, data_memoryb, sizeof used);
    }
    void Restore() const {
        std::memcpy(prog_save, images.data(), sizeof prog_save);
        std::memcpy(prog_len, lengths, sizeof lengths);
        std::memcpy(data_name, names, sizeof names);
        std::memcpy(data_memoryb, used, sizeof used);
    }
};

// The unit takes in the last image of a Store All before anything else may
// go out.
constexpr std::chrono::milliseconds kStoreAllSettle{1000};

// Tells Store All's progress per image as the library sends it.
struct StoreAllReporter {
    DeviceTaskProgress* progress;
    int total;
    std::vector<int> begun;  // the images begun, as they went out

    static void OnImage(int memory, void* context) {
        auto* self = static_cast<StoreAllReporter*>(context);
        const QString text = memory == 0 ? CDlgMemory::tr("Storing the working program on the unit...")
                                         : CDlgMemory::tr("Storing memory %1 on the unit...").arg(memory);
        self->progress->Report(static_cast<int>(self->begun.size()), self->total, text);
        self->begun.push_back(memory);
    }
};

// While it lives, the library's Store All and list stop at their next safe
// point once the user has pressed Cancel; Stopped() tells whether they did.
// Device thread only, as the operation it watches.
class StopWhenCancelled {
public:
    explicit StopWhenCancelled(const DeviceTaskProgress& progress) : progress_(progress) {
        SetMemCancelCheck(&Check, this);
    }
    ~StopWhenCancelled() { SetMemCancelCheck(nullptr, nullptr); }
    StopWhenCancelled(const StopWhenCancelled&) = delete;
    StopWhenCancelled& operator=(const StopWhenCancelled&) = delete;
    bool Stopped() const { return stopped_; }

private:
    static int Check(void* context) {
        auto* self = static_cast<StopWhenCancelled*>(context);
        if (self->progress_.CancelRequested()) self->stopped_ = true;
        return self->stopped_ ? 1 : 0;
    }
    const DeviceTaskProgress& progress_;
    bool stopped_ = false;
};

// What the progress window says between Cancel and the safe point.
QString StoppingStoreAll() { return CDlgMemory::tr("Cancelling: the memory going out now is stored whole first..."); }
QString StoppingRefresh() { return CDlgMemory::tr("Cancelling..."); }

// A list the user cancelled: what the window and the unit hold then.
QString RefreshCancelledText() {
    return CDlgMemory::tr(
        "Refresh cancelled: the list shows what it held before. Nothing on the unit changed; it may go on "
        "sending its list for a few seconds.");
}

}  // namespace

int StoreAllMemories(CDSDATA& model, DeviceTaskProgress& progress, std::chrono::milliseconds settle,
                     StoreAllOutcome* outcome) {
    int images = 1;  // the working program always goes last
    for (int m = 1; m < KV_MEMORIES; ++m)
        if (prog_len[m] > 2) ++images;

    StoreAllReporter reporter{&progress, images, {}};
    int result = 0;
    bool cancelled = false;
    {
        const StopWhenCancelled stop(progress);
        SetMemStoreAllProgress(&StoreAllReporter::OnImage, &reporter);
        result = model.SendMEMStoreAll();
        SetMemStoreAllProgress(nullptr, nullptr);
        cancelled = stop.Stopped();
    }
    if (outcome) {
        // A cancel stops before the next image: all that began went whole.
        // Otherwise the image in hand when it stopped did not reach the unit
        // whole.
        std::vector<int> whole = reporter.begun;
        if (!result && !cancelled && !whole.empty()) whole.pop_back();
        std::erase(whole, 0);  // the working program is no memory
        StoreAllOutcome o;
        o.total = images - 1;
        o.stored = static_cast<int>(whole.size());
        o.lost_at = result || cancelled || reporter.begun.empty() ? -1 : reporter.begun.back();
        o.cancelled = cancelled;
        o.stored_memories = std::move(whole);
        *outcome = std::move(o);
    }
    if (!result) return 0;  // nothing to settle: the unit took no last image
    progress.Report(images, images, CDlgMemory::tr("Waiting for the unit..."));
    std::this_thread::sleep_for(settle);
    return result;
}

int RefreshMemories(CDSDATA& model, DeviceTaskProgress& progress, bool* cancelled) {
    // Called on the reader thread; Report only queues the new text.
    const MemRefreshProgress report = [](int received, void* context) {
        // The unit lists only its used memories: how many is not known
        // beforehand, so the bar stays a busy one and the text counts.
        static_cast<DeviceTaskProgress*>(context)->Report(
            0, 0, CDlgMemory::tr("Reading the memory list from the unit: %1 received...").arg(Memories(received)));
    };
    const StopWhenCancelled stop(progress);
    SetMemRefreshProgress(report, &progress);
    const int result = model.MemRefresh();
    SetMemRefreshProgress(nullptr, nullptr);
    if (cancelled) *cancelled = stop.Stopped();
    return result;
}

MemoryPrompts StandardMemoryPrompts() {
    MemoryPrompts p;
    p.save_path = [](QWidget* parent) {
        QFileDialog dialog(parent, QString(), QString(), QString::fromLatin1(kBankFilter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // Added before the overwrite question, so it asks about the real file.
        dialog.setDefaultSuffix(QStringLiteral("ay"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    p.open_path = [](QWidget* parent) {
        return QFileDialog::getOpenFileName(parent, QString(), QString(), QString::fromLatin1(kBankFilter));
    };
    p.ask_name = [](QWidget* parent, int memory, QString& name) {
        CDlgMemoryNo prompt(parent);
        prompt.setPrompt(QStringLiteral("Memory No:%1").arg(memory));
        prompt.setName(name);
        if (prompt.exec() != QDialog::Accepted) return false;
        name = prompt.name();
        return true;
    };
    p.tell = [](QWidget* parent, const QString& text, const QString& caption) {
        ShowMessage(parent, QMessageBox::Warning, caption, text);
    };
    p.confirm = [](QWidget* parent, const QString& text, const QString& caption) {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
        box.setDefaultButton(QMessageBox::Cancel);
        if (parent) box.setInformativeText(parent->property("confirmationDetail").toString());
        PrepareMessageBox(box);
        return box.exec() == QMessageBox::Ok;
    };
    p.confirm_store_all = [](QWidget* parent, const QString& text, bool& keep_copy) {
        QMessageBox box(QMessageBox::Warning, DocTemplateField(kDocWindowTitle), text, QMessageBox::Cancel, parent);
        QPushButton* go = box.addButton(CDlgMemory::tr("Store &All"), QMessageBox::AcceptRole);
        box.setDefaultButton(QMessageBox::Cancel);
        auto* copy = new QCheckBox(CDlgMemory::tr("&Keep a copy of the unit's memories first (in the history)"));
        copy->setChecked(keep_copy);
        box.setCheckBox(copy);
        PrepareMessageBox(box);
        box.exec();
        keep_copy = copy->isChecked();
        return box.clickedButton() == go;
    };
    p.confirm_once = [](QWidget* parent, const QString& text, const QString& key) {
        QSettings settings;
        const QString setting = QStringLiteral("Confirmations/") + key;
        if (settings.value(setting).toBool()) return true;
        QMessageBox box(QMessageBox::Question, DocTemplateField(kDocWindowTitle), text,
                        QMessageBox::Ok | QMessageBox::Cancel, parent);
        auto* never = new QCheckBox(CDlgMemory::tr("&Do not ask again"));
        box.setCheckBox(never);
        PrepareMessageBox(box);
        const bool go = box.exec() == QMessageBox::Ok;
        if (go && never->isChecked()) settings.setValue(setting, true);
        return go;
    };
    return p;
}

CDlgMemory::CDlgMemory(CDSDATA& model, QWidget* parent) : QDialog(parent), model_(model) {
    setWindowTitle(QStringLiteral("Memory"));
    const DialogUnits du(font());

    list_ = new QTableWidget(0, 2, this);
    list_->setObjectName(QStringLiteral("memoryList"));
    list_->setHorizontalHeaderLabels({QStringLiteral("Prog"), QStringLiteral("Memory")});
    list_->verticalHeader()->hide();
    // Rows as compact as a report list's: one line of text or a small icon.
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setMinimumSectionSize(1);
    list_->verticalHeader()->setDefaultSectionSize(std::max(18, list_->fontMetrics().height() + 4));
    list_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->setShowGrid(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->setIconSize(QSize(16, 16));
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The selection stays visible while another control has the focus.
    QPalette pal = list_->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    list_->setPalette(pal);

    auto button = [this, &du](const char* text, const char* name) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setMinimumSize(du.size(56, 14));
        b->setAutoDefault(false);
        return b;
    };
    refresh_ = button("Refresh", "refreshButton");
    store_ = button("Store", "storeButton");
    recall_ = button("Recall", "recallButton");
    load_all_ = button("Load All", "loadAllButton");
    store_all_ = button("Store All", "storeAllButton");
    save_all_ = button("Save All", "saveAllButton");
    verify_ = button("Verify", "verifyButton");
    verify_->setToolTip(tr("Compare the selected memory of the unit with the PC program"));
    verify_->setStatusTip(verify_->toolTip());
    exit_ = button("Exit", "exitButton");
    exit_->setIcon(icons::ExitIcon());
    exit_->setDefault(true);

    note_ = new QLabel(
        QStringLiteral("Note:\nRefresh:Get all memory name from unit.\nStore:save current parameters to unit.\n"
                       "Recall:get selected memory paramters to pc.\nLoad All:Load all memory from pc file.\n"
                       "Store All:Download all memory from pc to unit.\nSave All:Save all memory to pc file."),
        this);
    note_->setObjectName(QStringLiteral("note"));
    note_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    source_ = new QLabel(this);
    source_->setObjectName(QStringLiteral("tableSource"));
    source_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    source_->setWordWrap(true);
    source_->setMaximumWidth(du.x(56));

    // The list takes whatever room the window gets: a larger window shows
    // more memories at once. The buttons keep their groups as they stand.
    // On a screen too small for all of it the whole page scrolls.
    auto* column = new QVBoxLayout;
    column->setSpacing(du.y(3));
    for (QPushButton* b : {refresh_, store_, recall_}) column->addWidget(b);
    column->addSpacing(du.y(4));
    for (QPushButton* b : {load_all_, store_all_, save_all_, verify_}) column->addWidget(b);
    column->addStretch(1);
    column->addWidget(exit_);
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("page"));
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(3));
    grid->setHorizontalSpacing(du.x(7));
    grid->addWidget(list_, 0, 0);
    grid->addLayout(column, 0, 1);
    grid->addWidget(note_, 1, 0);
    grid->addWidget(source_, 1, 1);
    grid->setRowStretch(0, 1);
    grid->setColumnStretch(0, 1);
    list_->setMinimumSize(du.size(100, 60));
    auto* area = new FittingScrollArea(page, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(area);
    FitToScreen(this, du.size(219, 236).expandedTo(area->sizeHint()));

    connect(refresh_, &QPushButton::clicked, this, &CDlgMemory::refresh);
    connect(store_, &QPushButton::clicked, this, &CDlgMemory::store);
    connect(recall_, &QPushButton::clicked, this, &CDlgMemory::recall);
    connect(load_all_, &QPushButton::clicked, this, &CDlgMemory::loadAll);
    connect(store_all_, &QPushButton::clicked, this, &CDlgMemory::storeAll);
    connect(save_all_, &QPushButton::clicked, this, &CDlgMemory::saveAll);
    connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
    connect(verify_, &QPushButton::clicked, this, [this] { emit verifyRequested(model_.mem_num); });
    connect(list_, &QTableWidget::itemSelectionChanged, this, &CDlgMemory::selectionChanged);

    SizeColumns();
    FillList();
}

void CDlgMemory::NoteTableReadFromUnit() {
    g_table_source = tr("from the unit, %1").arg(QTime::currentTime().toString(QStringLiteral("HH:mm")));
}

QString CDlgMemory::TableSource() {
    return g_table_source.isEmpty() ? tr("not read from the unit yet") : g_table_source;
}

void CDlgMemory::ShowTableSource() {
    // Wrapped at its spaces under the buttons; a word longer than the
    // column (a bank file's name) is shortened in its middle, whole in the
    // tooltip, rather than cut off at the column's edge.
    const int room = source_->maximumWidth() - 2 * source_->margin();
    QStringList words = TableSource().split(QLatin1Char(' '));
    for (QString& word : words) word = source_->fontMetrics().elidedText(word, Qt::ElideMiddle, room);
    source_->setText(words.join(QLatin1Char(' ')));
    source_->setToolTip(tr("Where the list came from: %1").arg(TableSource()));
}

void CDlgMemory::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    SizeColumns();
}

void CDlgMemory::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    SizeColumns();
}

// A tenth of the list's width per share: three for the number, seven less
// a margin for the name.
void CDlgMemory::SizeColumns() {
    const int t = list_->viewport()->width() / 10;
    list_->setColumnWidth(0, 3 * t);
    list_->setColumnWidth(1, 7 * t - 10);
}

void CDlgMemory::FillList() {
    static const QIcon used = icons::MemoryUsedIcon();
    static const QIcon empty = icons::MemoryEmptyIcon();
    list_->clearContents();
    list_->setRowCount(kMemoryCount);
    for (int m = 1; m <= kMemoryCount; ++m) {
        list_->setItem(m - 1, 0, new QTableWidgetItem(IsUsed(m) ? used : empty, QString::number(m)));
        list_->setItem(m - 1, 1, new QTableWidgetItem(MemoryName(m)));
    }
    // The current memory, or the first when there is none (a number outside
    // the memories would address past the table).
    const int current = model_.mem_num;
    const int row = current >= 1 && current <= kMemoryCount ? current - 1 : 0;
    list_->clearSelection();
    list_->selectRow(row);
    list_->scrollToItem(list_->item(row, 0));
    selectionChanged();
    ShowTableSource();
}

void CDlgMemory::selectionChanged() {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    if (rows.size() != 1) {
        recall_->setEnabled(false);
        return;
    }
    model_.mem_num = static_cast<char>(rows.first().row() + 1);
    recall_->setEnabled(IsUsed(model_.mem_num));
}

int CDlgMemory::RunRefresh(bool* cancelled) {
    bool stopped = false;
    const int listed = RunCancellableDeviceTask(
        this, tr("Reading the memory list from the unit..."), StoppingRefresh(), model_,
        [&stopped](CDSDATA& m, DeviceTaskProgress& progress) { return RefreshMemories(m, progress, &stopped); });
    if (cancelled) *cancelled = stopped;
    if (listed) {
        NoteTableReadFromUnit();
        device::NotifyMemoryListRead();
    }
    return listed;
}

bool CDlgMemory::UnitReachable() {
    if (UnitConnected()) return true;
    prompts.tell(this, NotConnectedMessage(), AppTitle());
    return false;
}

void CDlgMemory::refresh() {
    if (!UnitReachable()) return;
    // A list that fails leaves the table as it was. A silent unit shows that
    // alone; a link lost on the way is told.
    QElapsedTimer took;
    took.start();
    bool cancelled = false;
    const int listed = RunRefresh(&cancelled);
    FillList();
    if (cancelled) {
        prompts.tell(this, RefreshCancelledText(), AppTitle());
        return;
    }
    if (listed) TellDone(this, tr("Read the names of %1 from the unit").arg(Memories(UsedMemories())), took);
    if (!listed && (!UnitConnected() || LastReplyDamaged()))
        prompts.tell(this,
                     tr("The memory list could not be read from the unit; the list shows what it held "
                        "before.\n%1")
                         .arg(WhyOperationStopped()),
                     AppTitle());
}

void CDlgMemory::recall() {
    if (!UnitReachable()) return;
    const auto n = static_cast<unsigned char>(model_.mem_num);
    history::KeepProgram(model_, tr("Recall"));
    QElapsedTimer took;
    took.start();
    const int ok = RunDeviceTask(this, tr("Recalling memory %1 from the unit...").arg(n), model_,
                                 [n](CDSDATA& m) { return m.MEMRECALLFROMMCU(n); });
    if (ok) {
        history::NewHistory(model_, tr("Recall"));
        device::NotifyProgramMatchesUnit(model_, true);
        device::NotifyCurrentMemory(n);
    }
    result_flag_ = ok ? 1 : 0;
    if (!ok) prompts.tell(this, QStringLiteral("Recall fail!") + DamageNote(), AppTitle());
    if (ok) TellDone(this, tr("Recalled memory %1 \"%2\" into the PC").arg(n).arg(MemoryName(n).trimmed()), took);
    accept();
}

void CDlgMemory::store() {
    const int m = model_.mem_num;
    if (m < 1 || m > kMemoryCount) return;
    if (!UnitReachable()) return;
    confirmation_detail_ = tr("Memory %1 \"%2\" on the unit will be overwritten with the PC's program.")
                               .arg(m)
                               .arg(MemoryName(m).trimmed());
    setProperty("confirmationDetail", confirmation_detail_);
    if (IsUsed(m) && !prompts.confirm(this, QStringLiteral("Confirm memory overwrite."), QStringLiteral("Warning")))
        return;
    QString name = IsUsed(m) ? MemoryName(m) : QStringLiteral("KALVORE");
    if (!prompts.ask_name(this, m, name)) return;
    // The name goes out from the table; the list changes for good only once
    // the unit has the memory.
    char old_name[sizeof data_name[m]];
    std::memcpy(old_name, data_name[m], sizeof old_name);
    char old_prog_name[sizeof model_.prog_name];
    std::memcpy(old_prog_name, model_.prog_name, sizeof old_prog_name);
    StoreMemoryName(model_, m, MemoryNameFromInput(name));

    const auto n = static_cast<unsigned char>(m);
    history::KeepProgram(model_, tr("Store"));
    QElapsedTimer took;
    took.start();
    const int ok = RunDeviceTask(this, tr("Storing memory %1 on the unit...").arg(m), model_,
                                 [n](CDSDATA& md) { return md.StoreMEMCur(n); });
    if (!ok) {
        std::memcpy(data_name[m], old_name, sizeof old_name);
        std::memcpy(model_.prog_name, old_prog_name, sizeof old_prog_name);
        FillList();
        prompts.tell(this, QStringLiteral("Failed to store memory") + QStringLiteral("\n") + WhyOperationStopped(),
                     AppTitle());
        return;
    }
    data_memoryb[m] = 1;
    device::NotifyMemoryStored(m);
    TellDone(this, tr("Stored memory %1 \"%2\" on the unit").arg(m).arg(MemoryName(m).trimmed()), took);
    accept();
}

void CDlgMemory::storeAll() {
    if (!UnitReachable()) return;
    int overwritten = 0;
    for (int m = 1; m < KV_MEMORIES; ++m)
        if (prog_len[m] > 2) ++overwritten;
    const QString text =
        tr("Store All overwrites %1 of the unit with the PC's memory table (%2), and the unit's working program.")
            .arg(Memories(overwritten), TableSource());
    bool keep_copy = true;
    if (prompts.confirm_store_all && !prompts.confirm_store_all(this, text, keep_copy)) return;
    if (keep_copy && !KeepUnitMemories()) return;
    history::KeepProgram(model_, tr("Store All"));
    const std::vector<int> program_before = history::Flatten(model_);
    StoreAllOutcome outcome;
    QElapsedTimer took;
    took.start();
    const int ok = RunCancellableDeviceTask(this, tr("Storing all memories on the unit..."), StoppingStoreAll(), model_,
                                            [&outcome](CDSDATA& m, DeviceTaskProgress& progress) {
                                                return StoreAllMemories(m, progress, kStoreAllSettle, &outcome);
                                            });
    // The working program of a loaded table replaces the PC's program.
    if (history::Flatten(model_) != program_before) history::NewHistory(model_, tr("Store All"));
    result_flag_ = 1;
    if (!ok && outcome.cancelled) {
        prompts.tell(this,
                     QString::fromStdString(linktext::StoreAllCancelledText(outcome.stored_memories, outcome.total)),
                     AppTitle());
    } else if (!ok) {
        const QString what =
            QString::fromStdString(linktext::StoreAllStoppedText(outcome.stored, outcome.total, outcome.lost_at));
        prompts.tell(this, tr("Store All stopped: %1.\n%2").arg(what, WhyOperationStopped()), AppTitle());
    } else {
        // The unit holds the PC's table now, and its working program.
        device::NotifyMemoryListRead();
        device::NotifyProgramMatchesUnit(model_, false);
        TellDone(this, tr("Stored %1 on the unit").arg(Memories(outcome.total)), took);
    }
    accept();
}

bool CDlgMemory::KeepUnitMemories() {
    const MemoryTableCopy pc_table;
    const QString source = g_table_source;
    bool cancelled = false;
    const int listed = RunRefresh(&cancelled);
    if (listed) {
        auto* h = history::ProgramHistory::For(model_);
        const QByteArray bank = EncodeMemoryTable(model_);
        if (h) h->KeepBank(bank, tr("Before Store All"));
    }
    pc_table.Restore();
    g_table_source = source;
    if (cancelled) {
        prompts.tell(this,
                     tr("Store All cancelled while the unit's memories were read for a copy: nothing was stored; "
                        "the unit's memories and its working program are as they were."),
                     AppTitle());
        return false;
    }
    if (!listed)
        prompts.tell(this,
                     tr("The unit's memories could not be read for a copy; Store All goes on without one.\n%1")
                         .arg(WhyOperationStopped()),
                     AppTitle());
    return true;
}

void CDlgMemory::saveAll() {
    if (!UnitReachable()) return;
    const QString chosen = prompts.save_path(this);
    if (chosen.isEmpty()) return;
    const QString path = WithBankSuffix(chosen);

    SafeFileWriter writer;
    QString why;
    QElapsedTimer took;
    took.start();
    const bool opened = writer.Open(path, &why);
    // The bank holds what the unit has now; without a whole list no file is
    // written (the old one, if any, stays as it was).
    bool cancelled = false;
    const int listed = RunRefresh(&cancelled);
    FillList();
    if (cancelled) {
        prompts.tell(this,
                     tr("Save All cancelled: the bank file %1 was not written, and the list shows what it held "
                        "before. Nothing on the unit changed.")
                         .arg(path),
                     AppTitle());
        return;
    }
    if (!listed) {
        prompts.tell(this,
                     tr("The bank file %1 was not written: the memory list could not be read from the "
                        "unit.\n%2")
                         .arg(path, WhyOperationStopped()),
                     AppTitle());
        return;
    }
    if (opened) {
        kvfiles::FillWorkingProgramEntry(model_);
        if (writer.Commit(EncodeMemoryTable(model_), &why)) {
            TellDone(this, tr("Saved %1 to %2").arg(Memories(UsedMemories()), QFileInfo(path).fileName()), took);
            return;
        }
    }
    prompts.tell(this, tr("The bank file %1 could not be saved:\n%2").arg(path, why), AppTitle());
}

void CDlgMemory::loadAll() {
    const QString path = prompts.open_path(this);
    if (path.isEmpty()) return;
    QByteArray bytes;
    QString why;
    // Only the reading and the filling of the table are timed: never the
    // time the file dialog or the question waited for the user.
    QElapsedTimer took;
    took.start();
    if (!ReadBankFile(path, bytes, &why)) {
        // The table keeps what it held.
        prompts.tell(this, tr("The bank file %1 could not be read:\n%2").arg(path, why), AppTitle());
        return;
    }
    kvfiles::BankTable table;
    QString note;
    if (!DecodeBankBytes(bytes, table, &why, &note)) {
        // The table keeps what it held.
        prompts.tell(this, tr("The bank file %1 is refused: %2").arg(path, why), AppTitle());
        return;
    }
    const qint64 reading_ms = took.elapsed();
    QString text = tr("Load All replaces the PC's memory table (not the unit) with the %1 of %2.")
                       .arg(Memories(kvfiles::UsedMemories(table)), QFileInfo(path).fileName());
    // A file that is taken but not laid out as the program writes it is
    // always asked about, whatever "Do not ask again" said.
    if (!note.isEmpty()) {
        if (!prompts.confirm) return;
        if (!prompts.confirm(this, note + QStringLiteral("\n\n") + text, AppTitle())) return;
    } else if (prompts.confirm_once && !prompts.confirm_once(this, text, QStringLiteral("LoadAll"))) {
        return;
    }
    took.restart();
    kvfiles::BankToMemoryTable(table);  // nothing goes to the unit: Store All does that
    g_table_source = tr("from %1").arg(QFileInfo(path).fileName());
    FillList();
    TellDone(this, tr("Loaded %1 from %2 into the PC").arg(Memories(UsedMemories()), QFileInfo(path).fileName()),
             reading_ms + took.elapsed());
}

int RunMemoryManager(CMy758Doc& doc, QWidget* parent) {
    // The document is modified only by what the manager does to the
    // program (a Recall): the memory table is no part of the program file,
    // and choosing a memory in the list is no edit.
    // The manager moves the memory table and the model between its
    // operations: nothing else may change them while it is open.
    const DeskOperation busy(CDlgMemory::tr("The memory manager"));
    CDlgMemory dialog(doc.Model(), parent);
    QObject::connect(&dialog, &CDlgMemory::verifyRequested, &dialog,
                     [&doc, &dialog](int memory) { VerifyAgainstUnit(doc, &dialog, memory); });
    dialog.exec();
    return dialog.ResultFlag();
}
