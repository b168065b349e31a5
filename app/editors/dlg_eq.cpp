#include "editors/dlg_eq.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "device/device_line.h"
#include "device/device_task.h"
#include "device/model_follow.h"
#include "device/unit_state_line.h"
#include "editors/response_graph.h"
#include "history/program_history.h"
#include "kvproto/channels.h"
#include "kvvalues/channel_eq_set.h"
#include "kvproto/channels.h"
#include "kvvalues/text_conversions.h"
#include "kvvalues/value_tables.h"
#include "widgets/icons.h"
#include "widgets/link_guard.h"
#include "widgets/page_controls.h"
#include "widgets/screen_fit.h"

namespace {

constexpr int kLastAssignableRow = KV_DEFAULT_ROW - 1;
constexpr int kGainZero = 30;
constexpr int kBellType = 2;

// The arrows of an up-down control beside an edit.
QWidget* MakeSpinArrows(QWidget* parent, const QString& name, QToolButton* (&buttons)[2]) {
    auto* box = new QWidget(parent);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    const char* suffix[2] = {"Down", "Up"};
    const Qt::ArrowType arrow[2] = {Qt::DownArrow, Qt::UpArrow};
    for (int i : {1, 0}) {
        auto* b = new QToolButton(box);
        b->setObjectName(name + suffix[i]);
        b->setArrowType(arrow[i]);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(16, 11);
        column->addWidget(b);
        buttons[i] = b;
    }
    return box;
}

}  // namespace

CDlgEQ::CDlgEQ(CDSDATA& model, bool hideCrossover, QWidget* parent) : QDialog(parent), model_(model) {
    setWindowTitle(QStringLiteral("EQ"));

    type_list_ = new QComboBox(this);
    type_list_->setObjectName(QStringLiteral("typeList"));
    for (const char* name : kvvalues::EqTypeNames) type_list_->addItem(QString::fromLatin1(name));

    auto make_edit = [this](const char* name) {
        auto* e = new CommitEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        e->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("00.00k Hz")) + 12);
        return e;
    };
    freq_edit_ = make_edit("freqEdit");
    gain_edit_ = make_edit("gainEdit");
    width_edit_ = make_edit("widthEdit");
    type_list_->installEventFilter(this);

    auto make_button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);  // Enter never presses a button
        return b;
    };
    flat_button_ = make_button(QStringLiteral("Flat"), "flatButton");
    add_button_ = make_button(QStringLiteral("Add EQ"), "addButton");
    prev_button_ = make_button(QStringLiteral("<-"), "prevButton");
    next_button_ = make_button(QStringLiteral("->"), "nextButton");
    prev_button_->setIcon(icons::ArrowIcon(Qt::LeftArrow));
    next_button_->setIcon(icons::ArrowIcon(Qt::RightArrow));
    exit_button_ = make_button(QStringLiteral("EXIT"), "exitButton");
    exit_button_->setToolTip(QStringLiteral("Exit"));
    exit_button_->setIcon(icons::ExitIcon());

    slot_caption_ = new QLineEdit(this);
    slot_caption_->setObjectName(QStringLiteral("slotCaption"));
    slot_caption_->setReadOnly(true);
    slot_caption_->setFocusPolicy(Qt::NoFocus);
    slot_caption_->setAlignment(Qt::AlignCenter);
    slot_caption_->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("Out6&6 EQ12")) + 16);

    graph_ = new CResponseGraph(this);
    graph_->setObjectName(QStringLiteral("graph"));
    graph_->SetHideCrossover(hideCrossover);

    // Layout: the graph on top, the four values below it, then the slot
    // stepping and the buttons.
    auto* values = new QGridLayout;
    const char* labels[4] = {"Type", "Freq", "Gain", "Wd"};
    QWidget* fields[4] = {type_list_, freq_edit_, gain_edit_, width_edit_};
    const char* spin_names[3] = {"freq", "gain", "width"};
    for (int i = 0; i < 4; ++i) {
        values->addWidget(new QLabel(QLatin1String(labels[i]), this), 0, 3 * i, Qt::AlignRight);
        values->addWidget(fields[i], 0, 3 * i + 1);
        if (i > 0) {
            values->addWidget(MakeSpinArrows(this, QLatin1String(spin_names[i - 1]), spin_buttons_[i - 1]), 0,
                              3 * i + 2);
        }
    }
    values->setColumnStretch(12, 1);

    auto* stepping = new QHBoxLayout;
    stepping->addWidget(prev_button_);
    stepping->addWidget(slot_caption_);
    stepping->addWidget(next_button_);
    stepping->addSpacing(16);
    stepping->addWidget(add_button_);
    stepping->addWidget(flat_button_);
    stepping->addStretch(1);
    stepping->addWidget(exit_button_);

    // The graph keeps its picture's size, never squashed; where the screen
    // has no room for the whole editor, the graph and the controls scroll
    // and the line below them stays.
    graph_->setMinimumSize(graph_->sizeHint());
    auto* content = new QWidget(this);
    auto* scrolled = new QVBoxLayout(content);
    scrolled->setContentsMargins(0, 0, 0, 0);
    scrolled->addWidget(graph_);
    scrolled->addLayout(values);
    scrolled->addLayout(stepping);
    auto* page = new QVBoxLayout(this);
    page->addWidget(new FittingScrollArea(content, this), 1);
    // Undo and Redo, and the link with the PC/unit state (the main status
    // bar is out of reach while the editor is open). An undo may open or
    // release the filter of the slot shown.
    auto* status = new QHBoxLayout;
    if (QWidget* undo = history::AttachUndoControls(this, model_, [this] {
            model_.cur_eq = SlotList()[model_.cur_slot];
            Refresh();
        }))
        status->addWidget(undo);
    status->addWidget(new device::UnitStateLine(model_, this), 1);
    page->addLayout(status);
    FitToScreen(this, page->sizeHint());

    connect(type_list_, &QComboBox::activated, this, &CDlgEQ::OnTypeChosen);
    const Field spin_fields[3] = {Field::Freq, Field::Gain, Field::Width};
    for (int i = 0; i < 3; ++i) {
        const Field f = spin_fields[i];
        connect(spin_buttons_[i][0], &QToolButton::clicked, this, [this, f] { OnSpin(f, -1); });
        connect(spin_buttons_[i][1], &QToolButton::clicked, this, [this, f] { OnSpin(f, +1); });
        // Enter confirms what was typed; leaving the edit without it drops
        // the typing; the arrow keys work the spin.
        CommitEdit* edit = EditOf(f);
        connect(edit, &CommitEdit::enterPressed, this, [this, f] { OnTyped(f); });
        connect(edit, &CommitEdit::typingDropped, this, [this, f] { ShowField(f); });
        connect(edit, &CommitEdit::stepRequested, this, [this, f](int step) { OnSpin(f, step); });
    }
    connect(add_button_, &QPushButton::clicked, this, &CDlgEQ::OnAddEq);
    connect(flat_button_, &QPushButton::clicked, this, &CDlgEQ::OnFlat);
    connect(prev_button_, &QPushButton::clicked, this, &CDlgEQ::OnPrev);
    connect(next_button_, &QPushButton::clicked, this, &CDlgEQ::OnNext);
    connect(exit_button_, &QPushButton::clicked, this, &QDialog::accept);

    Refresh();
    // A change made elsewhere (a remote client) shows at once too.
    device::FollowModel(this, model_, [this] {
        model_.cur_eq = SlotList()[model_.cur_slot];
        Refresh();
    });
}

CDlgEQ::~CDlgEQ() {
    // The edits outlive this part of the dialog while it is torn down, and
    // the focus they lose on the way must not reach a half-destroyed dialog.
    for (Field f : {Field::Freq, Field::Gain, Field::Width}) EditOf(f)->disconnect(this);
}

// ---------------------------------------------------------------------------
// Model access

int* CDlgEQ::SlotList() const { return kvcom::EqSlotList(model_, model_.cur_chan); }

bool CDlgEQ::SlotHoldsFilter() const { return model_.cur_eq >= 0 && model_.cur_eq <= kLastAssignableRow; }

namespace {

int* PoolField(CDSDATA& m, int field) {
    int* pool[4] = {m.eq_freq, m.eq_gain, m.eq_bw, m.eq_type};
    return pool[field];
}

int* InputCopy(CDSDATA& m, int owner, int field) {
    if (owner == CHAN_IN_A) {
        int* copy[4] = {m.ina_eq_freq, m.ina_eq_gain, m.ina_eq_bw, m.ina_eq_type};
        return copy[field];
    }
    if (owner == CHAN_IN_B) {
        int* copy[4] = {m.inb_eq_freq, m.inb_eq_gain, m.inb_eq_bw, m.inb_eq_type};
        return copy[field];
    }
    return nullptr;
}

int ParamCode(int owner, int field) {
    const int in_codes[4] = {PC_IN_EQ_FREQ, PC_IN_EQ_GAIN, PC_IN_EQ_BW, PC_IN_EQ_TYPE};
    const int out_codes[4] = {PC_OUT_EQ_FREQ, PC_OUT_EQ_GAIN, PC_OUT_EQ_BW, PC_OUT_EQ_TYPE};
    return kvcom::IsInputChannel(owner) ? in_codes[field] : out_codes[field];
}

// The filter that the link repeat of an EQ message reaches on the device:
// the partner's filter in the same slot (In B's for an In A filter). The
// model follows it so that it keeps mirroring the device.
int LinkedRow(CDSDATA& m, int row) {
    if (!m.link_on) return -1;
    int twin = -1;
    const int owner = m.eq_owner[row];
    if (owner == CHAN_IN_A) {
        twin = m.inb_eq_slot[m.cur_slot];
    } else if (!kvcom::IsInputChannel(owner) && kvcom::IsOutputChannel(m.cur_chan)) {
        const int partner = m.GetLinkChan();
        if (partner >= 0) twin = m.out_eq_slot[partner][m.cur_slot];
    }
    if (twin < 0 || twin > kLastAssignableRow || twin == row || m.eq_owner[twin] == -1) return -1;
    return twin;
}

}  // namespace

void CDlgEQ::Store(Field field, int value) {
    const int f = static_cast<int>(field);
    const int row = model_.cur_eq;
    const int owner = model_.eq_owner[row];
    for (int r : {row, LinkedRow(model_, row)}) {
        if (r < 0) continue;
        PoolField(model_, f)[r] = value;
        if (int* copy = InputCopy(model_, model_.eq_owner[r], f)) copy[r] = value;
    }
    device::SendParam(model_, ParamCode(owner, f));
}

// ---------------------------------------------------------------------------
// Showing the model

void CDlgEQ::ShowField(Field field) {
    const int r = model_.cur_eq;
    switch (field) {
    case Field::Freq: freq_edit_->setText(QString::fromLatin1(kvvalues::FreqLabel(model_.eq_freq[r]))); break;
    case Field::Gain: gain_edit_->setText(QString::fromStdString(kvvalues::FormatEqGain(model_.eq_gain[r]))); break;
    case Field::Width: width_edit_->setText(QString::fromStdString(kvvalues::FormatEqWidth(model_.eq_bw[r]))); break;
    case Field::Type: {
        const QSignalBlocker block(type_list_);
        type_list_->setCurrentIndex(model_.eq_type[r]);
        break;
    }
    }
}

void CDlgEQ::ShowValues() {
    for (Field f : {Field::Type, Field::Freq, Field::Gain, Field::Width}) ShowField(f);
}

// A filter at 0 dB does nothing, so its values are not edited; an empty
// slot shows the default row, which must never be written.
void CDlgEQ::ApplyEnabling() {
    const int r = model_.cur_eq;
    const bool active = model_.eq_gain[r] != kGainZero;
    freq_edit_->setEnabled(active);
    gain_edit_->setEnabled(active);
    type_list_->setEnabled(active);
    flat_button_->setEnabled(active);
    width_edit_->setEnabled(active && model_.eq_type[r] == kBellType);
    const bool filter = SlotHoldsFilter();
    for (auto& pair : spin_buttons_)
        for (QToolButton* b : pair) b->setEnabled(filter);
}

void CDlgEQ::Refresh() {
    const int chan = model_.cur_chan;
    const bool empty = model_.cur_eq == -1 || model_.cur_eq == KV_DEFAULT_ROW;
    const bool budget = kvcom::EqFilterFits(model_, chan);

    const int* list = SlotList();
    int last = -1;
    for (int s = 1; s < kSlots; ++s)
        if (list[s] != -1) last = s;
    const bool is_last = last == -1 || model_.cur_slot == last;

    add_button_->setEnabled(empty && budget);
    prev_button_->setEnabled(model_.cur_slot > 0);
    next_button_->setEnabled(model_.cur_slot <= kSlots - 2 && !empty && (budget || !is_last));

    if (model_.cur_eq == -1) model_.cur_eq = KV_DEFAULT_ROW;
    ShowValues();

    const int n = model_.cur_slot + 1;
    QString caption;
    if (chan == CHAN_IN_A) {
        caption = model_.link_on ? QStringLiteral("InA&B EQ%1").arg(n) : QStringLiteral("InA EQ%1").arg(n);
    } else if (chan == CHAN_IN_B) {
        caption = QStringLiteral("InB EQ%1").arg(n);
    } else {
        const int partner = model_.link_on ? model_.GetLinkChan() : -1;
        caption = partner >= 0 ? QStringLiteral("Out%1&%2 EQ%3").arg(chan + 1).arg(partner + 1).arg(n)
                               : QStringLiteral("Out%1 EQ%2").arg(chan + 1).arg(n);
    }
    slot_caption_->setText(caption);

    ApplyEnabling();
    UpdateGraph();
}

void CDlgEQ::UpdateGraph() {
    const int chan = model_.cur_chan;
    if (kvcom::IsOutputChannel(chan)) {
        graph_->SetCrossover(
            {model_.xo_freq[chan][0], model_.xo_type[chan][0], model_.xo_freq[chan][1], model_.xo_type[chan][1]});
    }
    graph_->ShowEqSet(kvvalues::ChannelEqSet(model_, chan));
}

// ---------------------------------------------------------------------------
// Edits

void CDlgEQ::OnSpin(Field field, int step) {
    if (!SlotHoldsFilter()) return;
    const int r = model_.cur_eq;
    int value = 0;
    switch (field) {
    case Field::Freq:
        value = std::clamp(model_.eq_freq[r] + step, kvvalues::kFreqRowFirst, kvvalues::kFreqRowLast);
        break;
    case Field::Width: value = std::clamp(model_.eq_bw[r] + step, 0, kvvalues::kEqWidthSteps - 1); break;
    case Field::Gain:
        // 0 dB would silence the filter: the spin skips over it.
        value = std::clamp(model_.eq_gain[r] + step, 0, kvvalues::kEqGainSteps - 1);
        if (value == kGainZero) value += step > 0 ? 1 : -1;
        break;
    case Field::Type: return;
    }
    Store(field, value);
    ShowField(field);
    if (field == Field::Gain) ApplyEnabling();
    UpdateGraph();
}

void CDlgEQ::OnTyped(Field field) {
    if (!SlotHoldsFilter()) return;
    const std::string text = EditOf(field)->text().toStdString();
    int value = 0;
    switch (field) {
    case Field::Freq: value = kvvalues::FreqIndexFromText(text, kvvalues::FreqMode::Eq); break;
    case Field::Width: value = kvvalues::WidthFromText(text); break;
    case Field::Gain:
        value = kvvalues::GainFromText(text);
        if (value == kGainZero) value = kGainZero - 1;  // a typed 0 dB gives -0.5 dB
        break;
    case Field::Type: return;
    }
    Store(field, value);
    ShowField(field);
    UpdateGraph();
}

void CDlgEQ::OnTypeChosen(int type) {
    if (!SlotHoldsFilter() || type < 0 || type >= kvvalues::kEqTypes) return;
    Store(Field::Type, type);
    width_edit_->setEnabled(type == kBellType);
    UpdateGraph();
}

CommitEdit* CDlgEQ::EditOf(Field field) const {
    switch (field) {
    case Field::Freq: return freq_edit_;
    case Field::Gain: return gain_edit_;
    case Field::Width: return width_edit_;
    case Field::Type: break;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Slots of the channel

void CDlgEQ::OnAddEq() {
    // A filter is taken from the pool only when the unit can get it too.
    if (!CheckUnitConnected(this)) return;
    add_button_->setEnabled(false);
    const int chan = model_.cur_chan;
    const int slot = model_.cur_slot;
    RunDeviceTask(this, QStringLiteral("Assigning an EQ filter..."), model_, [chan](CDSDATA& m) {
        if (chan == CHAN_IN_A) return m.SetNewInAPEQ();
        if (chan == CHAN_IN_B) return m.SetNewInBPEQ();
        return m.SetNewPEQ();
    });
    if (SlotList()[slot] != -1) {
        if (auto* h = history::ProgramHistory::For(model_)) h->FilterOpened(chan, slot);
    }
    Refresh();
}

void CDlgEQ::OnFlat() {
    flat_button_->setEnabled(false);
    const int r = model_.cur_eq;
    // Only a filter in use is released; the default row is never touched.
    if (SlotHoldsFilter() && model_.eq_owner[r] != -1) {
        const int owner = model_.eq_owner[r];
        const history::FilterValues held{model_.eq_type[r], model_.eq_freq[r], model_.eq_gain[r], model_.eq_bw[r]};
        const int chan = model_.cur_chan;
        const int slot = model_.cur_slot;
        RunDeviceTask(this, QStringLiteral("Releasing the EQ filter..."), model_, [owner](CDSDATA& m) {
            if (owner == CHAN_IN_A) return m.DeleteInAPEQ();
            if (owner == CHAN_IN_B) return m.DeleteInBPEQ();
            return m.DeletePEQ();
        });
        if (auto* h = history::ProgramHistory::For(model_)) h->FilterReleased(chan, slot, held);
    }
    Refresh();
}

void CDlgEQ::OnPrev() {
    if (model_.cur_slot <= 0) return;
    --model_.cur_slot;
    model_.cur_eq = SlotList()[model_.cur_slot];
    Refresh();
}

void CDlgEQ::OnNext() {
    const int* list = SlotList();
    int count = 0;
    while (count < KV_POOL_ROWS && list[count] != -1) ++count;
    const int slot = model_.cur_slot;
    if (slot >= kSlots - 1 || slot >= count) return;
    if (list[slot + 1] == -1) {
        model_.cur_slot = slot + 1;
        model_.cur_eq = -1;
    } else {
        model_.cur_slot = slot + 1;
        model_.cur_eq = list[slot + 1];
    }
    Refresh();
}

// ---------------------------------------------------------------------------
// Keys and focus

void CDlgEQ::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // The value edits take their own Enter; elsewhere Enter only shows
        // the stored type again and never closes the dialog.
        ShowField(Field::Type);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CDlgEQ::eventFilter(QObject* watched, QEvent* event) {
    // Leaving the type list without choosing drops what was highlighted.
    if (watched == type_list_ && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        ShowField(Field::Type);
    }
    return QDialog::eventFilter(watched, event);
}
