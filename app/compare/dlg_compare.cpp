#include "compare/dlg_compare.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include <kvcom/kvcom.h>

#include "compare/setting_transfer.h"
#include "device/device_line.h"
#include "device/unit_state.h"
#include "document/my758_doc.h"
#include "history/program_history.h"
#include "widgets/link_guard.h"
#include "widgets/message_box.h"
#include "widgets/screen_fit.h"

namespace {

constexpr int kDiffIndexRole = Qt::UserRole;
const char* const kProgramFilter = "Programs (*.syx *.json);;All files (*)";

QString Caption() { return CDlgCompare::tr("Compare"); }

// The setting's name within its channel: "eq2.freq" for "out3.eq2.freq".
QString LabelOf(const kvprog::Difference& d) {
    const std::string key = kvprog::ChannelKey(d.ref.chan);
    if (!key.empty() && d.path.rfind(key + ".", 0) == 0) return QString::fromStdString(d.path.substr(key.size() + 1));
    return QString::fromStdString(d.path);
}

// "1 difference", "3 differences".
QString Counted(int n, const QString& one, const QString& many) { return n == 1 ? one : many.arg(n); }

QString Listed(const QStringList& lines) { return QStringLiteral("\n  ") + lines.join(QStringLiteral("\n  ")); }

}  // namespace

// ---------------------------------------------------------------------------

SourcePicker::SourcePicker(const QString& caption, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(caption, this);
    kind_ = new QComboBox(this);
    kind_->setObjectName(QStringLiteral("kind"));
    kind_->addItem(tr("PC program"), ProgramSource::kPcProgram);
    kind_->addItem(tr("Unit: working program"), ProgramSource::kUnitProgram);
    kind_->addItem(tr("Unit: memory"), ProgramSource::kUnitMemory);
    kind_->addItem(tr("File (.syx or JSON)"), ProgramSource::kFile);
    kind_->addItem(tr("Memory table entry"), ProgramSource::kBankEntry);
    kind_->setToolTip(tr("Where this side's program comes from"));
    kind_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    label->setBuddy(kind_);
    memory_ = new QSpinBox(this);
    memory_->setObjectName(QStringLiteral("memory"));
    memory_->setRange(1, KV_MEMORIES - 1);
    memory_->setToolTip(tr("The unit's memory, read without recalling it"));
    entry_ = new QComboBox(this);
    entry_->setObjectName(QStringLiteral("entry"));
    entry_->setToolTip(tr("An entry of the memory manager's table (a loaded bank or the last list read)"));
    path_ = new QLineEdit(this);
    path_->setObjectName(QStringLiteral("path"));
    path_->setPlaceholderText(tr("program file"));
    browse_ = new QPushButton(tr("&Browse..."), this);
    browse_->setAutoDefault(false);
    row->addWidget(label);
    row->addWidget(kind_);
    row->addWidget(memory_);
    row->addWidget(entry_, 1);
    row->addWidget(path_, 1);
    row->addWidget(browse_);
    // Takes the room when no detail is shown, so the kind stays compact.
    row->addStretch(0);
    connect(kind_, &QComboBox::currentIndexChanged, this, &SourcePicker::updateDetail);
    connect(browse_, &QPushButton::clicked, this, [this] {
        const QString chosen =
            QFileDialog::getOpenFileName(this, tr("Program file"), QFileInfo(path_->text()).path(), tr(kProgramFilter));
        if (!chosen.isEmpty()) path_->setText(chosen);
    });
    refreshEntries();
    updateDetail();
}

void SourcePicker::refreshEntries() {
    const int kept = entry_->currentData().toInt();
    entry_->clear();
    for (const int m : BankEntriesInUse()) {
        ProgramSource s{ProgramSource::kBankEntry, m, {}};
        entry_->addItem(SourceTitle(s).section(QLatin1Char(' '), 1), m);
    }
    const int at = entry_->findData(kept);
    if (at >= 0) entry_->setCurrentIndex(at);
}

void SourcePicker::updateDetail() {
    const auto kind = static_cast<ProgramSource::Kind>(kind_->currentData().toInt());
    memory_->setVisible(kind == ProgramSource::kUnitMemory);
    entry_->setVisible(kind == ProgramSource::kBankEntry);
    path_->setVisible(kind == ProgramSource::kFile);
    browse_->setVisible(kind == ProgramSource::kFile);
    if (kind == ProgramSource::kBankEntry) refreshEntries();
}

ProgramSource SourcePicker::source() const {
    ProgramSource s;
    s.kind = static_cast<ProgramSource::Kind>(kind_->currentData().toInt());
    if (s.kind == ProgramSource::kUnitMemory) s.memory = memory_->value();
    if (s.kind == ProgramSource::kBankEntry)
        s.memory = entry_->currentData().isValid() ? entry_->currentData().toInt() : -1;
    if (s.kind == ProgramSource::kFile) s.path = path_->text().trimmed();
    return s;
}

void SourcePicker::setSource(const ProgramSource& source) {
    kind_->setCurrentIndex(kind_->findData(source.kind));
    if (source.kind == ProgramSource::kUnitMemory) memory_->setValue(source.memory);
    if (source.kind == ProgramSource::kFile) path_->setText(source.path);
    if (source.kind == ProgramSource::kBankEntry) {
        refreshEntries();
        entry_->setCurrentIndex(entry_->findData(source.memory));
    }
    updateDetail();
}

// ---------------------------------------------------------------------------

CDlgCompare::CDlgCompare(CMy758Doc& doc, QWidget* parent) : QDialog(parent), doc_(doc) {
    setObjectName(QStringLiteral("compareWindow"));
    setWindowTitle(Caption());
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    pickers_[0] = new SourcePicker(tr("&A:"), this);
    pickers_[0]->setObjectName(QStringLiteral("sideA"));
    pickers_[1] = new SourcePicker(tr("&B:"), this);
    pickers_[1]->setObjectName(QStringLiteral("sideB"));
    layout->addWidget(pickers_[0]);
    layout->addWidget(pickers_[1]);

    auto* top_buttons = new QHBoxLayout;
    compare_ = new QPushButton(tr("&Compare"), this);
    compare_->setToolTip(tr("Read both programs and list where they differ"));
    compare_->setStatusTip(compare_->toolTip());
    verify_ = new QPushButton(tr("&Verify"), this);
    verify_->setToolTip(tr("Read the unit's working program again and compare it with the PC program"));
    verify_->setStatusTip(verify_->toolTip());
    top_buttons->addWidget(compare_);
    top_buttons->addWidget(verify_);
    top_buttons->addStretch(1);
    layout->addLayout(top_buttons);

    table_ = new QTreeWidget(this);
    table_->setObjectName(QStringLiteral("differences"));
    table_->setColumnCount(3);
    table_->setHeaderLabels({tr("Setting"), tr("A"), tr("B")});
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setRootIsDecorated(true);
    table_->setUniformRowHeights(true);
    table_->header()->setSectionResizeMode(QHeaderView::Interactive);
    // The table gives way first on a small screen; it asks for room to show
    // a channel's settings where there is some.
    table_->setMinimumSize(240, 72);
    layout->addWidget(table_, 1);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    layout->addWidget(status_);
    direction_ = new QLabel(this);
    direction_->setObjectName(QStringLiteral("direction"));
    direction_->setWordWrap(true);
    layout->addWidget(direction_);

    auto* bottom = new QHBoxLayout;
    take_ = new QPushButton(tr("&Take into PC program"), this);
    take_->setToolTip(tr("Copy the selected settings into the PC program; nothing is sent"));
    take_->setStatusTip(take_->toolTip());
    send_ = new QPushButton(tr("&Send selected to the unit"), this);
    send_->setToolTip(tr("Send just the selected settings to the unit, without a Download"));
    send_->setStatusTip(send_->toolTip());
    auto* close = new QPushButton(tr("C&lose"), this);
    bottom->addWidget(take_);
    bottom->addWidget(send_);
    bottom->addStretch(1);
    bottom->addWidget(close);
    layout->addLayout(bottom);
    for (QPushButton* b : {compare_, verify_, take_, send_, close}) b->setAutoDefault(false);
    FitToScreen(this, layout->sizeHint().expandedTo(QSize(560, 460)));

    connect(compare_, &QPushButton::clicked, this, &CDlgCompare::compare);
    connect(verify_, &QPushButton::clicked, this, &CDlgCompare::verify);
    connect(take_, &QPushButton::clicked, this, &CDlgCompare::takeSelected);
    connect(send_, &QPushButton::clicked, this, &CDlgCompare::sendSelected);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(table_, &QTreeWidget::itemSelectionChanged, this, &CDlgCompare::updateButtons);

    setSources({ProgramSource::kPcProgram, 1, {}}, {ProgramSource::kUnitProgram, 1, {}});
    status_->setText(tr("Pick two programs and press Compare."));
    updateButtons();
}

CDlgCompare::~CDlgCompare() = default;

void CDlgCompare::setSources(const ProgramSource& a, const ProgramSource& b) {
    pickers_[0]->setSource(a);
    pickers_[1]->setSource(b);
}

QString CDlgCompare::statusText() const { return status_->text(); }

bool CDlgCompare::compare() {
    const ProgramSource sources[2] = {pickers_[0]->source(), pickers_[1]->source()};
    auto a = std::make_unique<CDSDATA>(doc_.Model());
    auto b = std::make_unique<CDSDATA>(doc_.Model());
    CDSDATA* sides[2] = {a.get(), b.get()};
    for (int i = 0; i < 2; ++i) {
        QString why;
        if (!ReadSource(sources[i], *sides[i], this, &why)) {
            // The list of an earlier comparison would pass for this one.
            clearComparison();
            status_->setText(tr("%1 could not be read: %2").arg(SourceTitle(sources[i]), why));
            return false;
        }
    }
    showComparison(sources[0], *a, sources[1], *b);
    return true;
}

bool CDlgCompare::verify() {
    setSources({ProgramSource::kPcProgram, 1, {}}, {ProgramSource::kUnitProgram, 1, {}});
    return compare();
}

void CDlgCompare::showComparison(const ProgramSource& a, const CDSDATA& a_program, const ProgramSource& b,
                                 const CDSDATA& b_program) {
    setSources(a, b);
    shown_[0] = a;
    shown_[1] = b;
    a_ = std::make_unique<CDSDATA>(a_program);
    b_ = std::make_unique<CDSDATA>(b_program);
    loaded_ = true;
    showDifferences();
}

void CDlgCompare::showDifferences() {
    diffs_ = kvprog::Diff(*a_, *b_);
    table_->clear();
    table_->setHeaderLabels({tr("Setting"), SourceTitle(shown_[0]), SourceTitle(shown_[1])});
    QTreeWidgetItem* group = nullptr;
    for (std::size_t i = 0; i < diffs_.size(); ++i) {
        const kvprog::Difference& d = diffs_[i];
        const QString channel = QString::fromStdString(d.channel);
        if (!group || group->text(0) != channel) {
            group = new QTreeWidgetItem(table_, {channel});
            QFont bold = group->font(0);
            bold.setBold(true);
            group->setFont(0, bold);
            group->setFirstColumnSpanned(true);
            group->setExpanded(true);
        }
        auto* row = new QTreeWidgetItem(group, {LabelOf(d), QString::fromStdString(d.a), QString::fromStdString(d.b)});
        row->setData(0, kDiffIndexRole, static_cast<int>(i));
    }
    for (int c = 0; c < 3; ++c) table_->resizeColumnToContents(c);
    if (diffs_.empty())
        status_->setText(
            tr("No differences: %1 and %2 hold the same program.").arg(SourceTitle(shown_[0]), SourceTitle(shown_[1])));
    else
        status_->setText(Counted(static_cast<int>(diffs_.size()), tr("1 difference."), tr("%1 differences.")));
    updateButtons();
}

void CDlgCompare::clearComparison() {
    loaded_ = false;
    diffs_.clear();
    a_.reset();
    b_.reset();
    table_->clear();
    table_->setHeaderLabels({tr("Setting"), tr("A"), tr("B")});
    updateButtons();
}

void CDlgCompare::selectSettings(const std::vector<kvprog::SettingRef>& refs) {
    table_->clearSelection();
    QTreeWidgetItem* first = nullptr;
    for (int g = 0; g < table_->topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = table_->topLevelItem(g);
        for (int r = 0; r < group->childCount(); ++r) {
            QTreeWidgetItem* row = group->child(r);
            const kvprog::SettingRef& ref = diffs_[static_cast<std::size_t>(row->data(0, kDiffIndexRole).toInt())].ref;
            if (std::find(refs.begin(), refs.end(), ref) == refs.end()) continue;
            row->setSelected(true);
            if (!first) first = row;
        }
    }
    if (first) table_->scrollToItem(first);
    updateButtons();
}

std::vector<kvprog::SettingRef> CDlgCompare::selectedSettings() const {
    std::vector<kvprog::SettingRef> refs;
    for (int g = 0; g < table_->topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = table_->topLevelItem(g);
        for (int r = 0; r < group->childCount(); ++r) {
            QTreeWidgetItem* row = group->child(r);
            if (group->isSelected() || row->isSelected())
                refs.push_back(diffs_[static_cast<std::size_t>(row->data(0, kDiffIndexRole).toInt())].ref);
        }
    }
    return refs;
}

int CDlgCompare::takeSide() const {
    if (!loaded_) return -1;
    const bool pc[2] = {shown_[0].kind == ProgramSource::kPcProgram, shown_[1].kind == ProgramSource::kPcProgram};
    if (pc[0] && pc[1]) return -1;
    return pc[1] ? 0 : 1;
}

int CDlgCompare::sendSide() const {
    if (!loaded_) return -1;
    const bool unit[2] = {shown_[0].FromUnit(), shown_[1].FromUnit()};
    if (unit[0] && unit[1]) return -1;
    return unit[0] ? 1 : 0;
}

void CDlgCompare::updateButtons() {
    const bool any = !selectedSettings().empty();
    take_->setEnabled(any && takeSide() >= 0);
    send_->setEnabled(any && sendSide() >= 0);
    QStringList how;
    if (takeSide() >= 0)
        how << tr("Take copies the values of %1 into the PC program.").arg(SourceTitle(shown_[takeSide()]));
    if (sendSide() >= 0) how << tr("Send sends the values of %1 to the unit.").arg(SourceTitle(shown_[sendSide()]));
    direction_->setText(how.join(QLatin1Char(' ')));
}

void CDlgCompare::takeSelected() {
    const int side = takeSide();
    const std::vector<kvprog::SettingRef> refs = selectedSettings();
    if (side < 0 || refs.empty()) return;
    CDSDATA taken(doc_.Model());
    const TransferOutcome outcome = TakeSettings(taken, program(side), refs);
    if (outcome.done > 0) {
        CDSDATA& pc = doc_.Model();
        if (ResetsTheProgram(refs)) {
            // A configuration or link is a program of its own: the one
            // before it is kept in the history and a new history begins.
            history::KeepProgram(pc, tr("Take"));
            pc = taken;
            history::NewHistory(pc, tr("Take"));
            emit doc_.documentReset();
        } else {
            // One step of the history: its undo writes the old values back
            // and sends them, as an edit's undo does.
            const CDSDATA before(pc);
            pc = taken;
            if (history::ProgramHistory* h = history::ProgramHistory::For(pc))
                h->RecordStep(Counted(outcome.done, tr("Take of 1 setting"), tr("Take of %1 settings")), before,
                              SendKeysFor(pc, refs));
            device::NotifyModelChanged(pc);
        }
        // The PC's side shows what it holds now.
        for (int i = 0; i < 2; ++i)
            if (shown_[i].kind == ProgramSource::kPcProgram) (i == 0 ? a_ : b_) = std::make_unique<CDSDATA>(taken);
        showDifferences();
    }
    QString text =
        Counted(outcome.done, tr("1 setting taken into the PC program."), tr("%1 settings taken into the PC program."));
    if (!outcome.refused.isEmpty()) {
        text += tr(" Left out:") + Listed(outcome.refused);
        ShowMessage(this, QMessageBox::Warning, Caption(), text);
    }
    status_->setText(text);
}

void CDlgCompare::sendSelected() {
    const int side = sendSide();
    const std::vector<kvprog::SettingRef> refs = selectedSettings();
    if (side < 0 || refs.empty()) return;
    if (!CheckUnitConnected(this)) return;
    if (ResetsTheProgram(refs) &&
        QMessageBox::question(this, Caption(),
                              tr("A new configuration or link resets every setting of the unit to its factory "
                                 "value. Send it anyway?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    const TransferOutcome outcome = QueueSettingSends(program(side), refs);
    QString text = Counted(outcome.done, tr("1 message sent to the unit."), tr("%1 messages sent to the unit."));
    // The unit is read again after the messages (the read waits for them),
    // so the list shows what it holds now.
    const bool unit_shown =
        shown_[0].kind == ProgramSource::kUnitProgram || shown_[1].kind == ProgramSource::kUnitProgram;
    if (outcome.done > 0 && unit_shown) {
        const ProgramSource sources[2] = {shown_[0], shown_[1]};
        setSources(sources[0], sources[1]);
        if (compare())
            text += QLatin1Char(' ') + (diffs_.empty() ? tr("Read again: no differences left.")
                                                       : tr("Read again: %1 left.")
                                                             .arg(Counted(static_cast<int>(diffs_.size()),
                                                                          tr("1 difference"), tr("%1 differences"))));
        else
            text += QLatin1Char(' ') + tr("The unit could not be read again: %1").arg(status_->text());
    } else if (outcome.done > 0) {
        // What the unit plays now is known again once it has been read.
        if (device::UnitState* state = device::UnitState::For(doc_.Model())) state->ReadUnit();
    }
    if (!outcome.refused.isEmpty()) {
        text += tr(" Not sent:") + Listed(outcome.refused);
        ShowMessage(this, QMessageBox::Warning, Caption(), text);
    }
    status_->setText(text);
}

// ---------------------------------------------------------------------------

CDlgCompare* OpenCompareWindow(CMy758Doc& doc, QWidget* parent) {
    auto* window = parent ? parent->findChild<CDlgCompare*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!window) {
        window = new CDlgCompare(doc, parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void VerifyAgainstUnit(CMy758Doc& doc, QWidget* parent, int memory) {
    const ProgramSource pc{ProgramSource::kPcProgram, 1, {}};
    const ProgramSource unit = memory == 0 ? ProgramSource{ProgramSource::kUnitProgram, 1, {}}
                                           : ProgramSource{ProgramSource::kUnitMemory, memory, {}};
    CDSDATA fetched(doc.Model());
    QString why;
    if (!ReadSource(unit, fetched, parent, &why)) {
        ShowMessage(parent, QMessageBox::Warning, CDlgCompare::tr("Verify"),
                    CDlgCompare::tr("Nothing was compared.\n%1").arg(why));
        return;
    }
    if (kvprog::Diff(doc.Model(), fetched).empty()) {
        if (memory == 0) device::NotifyProgramMatchesUnit(doc.Model(), true);
        ShowMessage(parent, QMessageBox::Information, CDlgCompare::tr("Verify"),
                    CDlgCompare::tr("No differences: %1 holds the PC program.").arg(SourceTitle(unit)));
        return;
    }
    OpenCompareWindow(doc, parent)->showComparison(pc, doc.Model(), unit, fetched);
}
