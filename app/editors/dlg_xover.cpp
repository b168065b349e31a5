#include "editors/dlg_xover.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "device/device_line.h"
#include "device/model_follow.h"
#include "device/unit_state_line.h"
#include "history/program_history.h"
#include "editors/dlg_eq.h"
#include "editors/response_graph.h"
#include "kvvalues/channel_eq_set.h"
#include "kvproto/channels.h"
#include "kvvalues/text_conversions.h"
#include "kvvalues/value_tables.h"
#include "widgets/screen_fit.h"

namespace {

constexpr int kHighPass = 0;
constexpr int kLowPass = 1;
constexpr int kRowOutLow = 0;     // high-pass switched out
constexpr int kRowOutHigh = 201;  // low-pass switched out
constexpr int kFirst48dBType = 8;

QString Label(int row) { return QString::fromLatin1(kvvalues::FreqLabel(row)); }

}  // namespace

CDlgXover::CDlgXover(CDSDATA& model, QWidget* parent) : QDialog(parent), model_(model) {
    setWindowTitle(QStringLiteral("Xover"));
    setContextMenuPolicy(Qt::NoContextMenu);

    low_radio_ = new QRadioButton(QStringLiteral("Low Freq"), this);
    low_radio_->setObjectName(QStringLiteral("lowFreqRadio"));
    high_radio_ = new QRadioButton(QStringLiteral("High Freq"), this);
    high_radio_->setObjectName(QStringLiteral("highFreqRadio"));
    auto* sides = new QButtonGroup(this);
    sides->addButton(low_radio_, kHighPass);
    sides->addButton(high_radio_, kLowPass);

    type_list_ = new QListWidget(this);
    type_list_->setObjectName(QStringLiteral("typeList"));
    for (const auto& name : kvvalues::XoverTypeNames) type_list_->addItem(QString::fromLatin1(name.long_name));
    type_list_->setContextMenuPolicy(Qt::NoContextMenu);
    const int rows = kvvalues::kXoverTypes;
    type_list_->setFixedHeight(type_list_->sizeHintForRow(0) * rows + 2 * type_list_->frameWidth() + 2);
    type_list_->setFixedWidth(type_list_->sizeHintForColumn(0) + 2 * type_list_->frameWidth() + 24);

    auto* frequency = new QGroupBox(QStringLiteral("Frequency"), this);
    freq_edit_ = new QLineEdit(frequency);
    freq_edit_->setObjectName(QStringLiteral("freqEdit"));
    freq_edit_->setContextMenuPolicy(Qt::NoContextMenu);
    freq_edit_->installEventFilter(this);
    scroll_ = new QScrollBar(Qt::Horizontal, frequency);
    scroll_->setObjectName(QStringLiteral("freqScroll"));
    scroll_->setFocusPolicy(Qt::StrongFocus);
    scroll_->setContextMenuPolicy(Qt::NoContextMenu);
    scroll_->setSingleStep(1);
    scroll_->setPageStep(5);
    scroll_->setMinimumWidth(220);
    left_label_ = new QLabel(QStringLiteral("HP"), frequency);
    left_label_->setObjectName(QStringLiteral("leftLabel"));
    right_label_ = new QLabel(QStringLiteral("HP"), frequency);
    right_label_->setObjectName(QStringLiteral("rightLabel"));
    right_label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* freq_grid = new QGridLayout(frequency);
    freq_grid->addWidget(freq_edit_, 0, 0, 1, 2, Qt::AlignHCenter);
    freq_grid->addWidget(scroll_, 1, 0, 1, 2);
    freq_grid->addWidget(left_label_, 2, 0);
    freq_grid->addWidget(right_label_, 2, 1);

    graph_ = new CResponseGraph(this);
    graph_->setObjectName(QStringLiteral("graph"));

    exit_button_ = new QPushButton(QStringLiteral("EXIT"), this);
    exit_button_->setObjectName(QStringLiteral("exitButton"));
    exit_button_->setAutoDefault(false);

    auto* radios = new QVBoxLayout;
    radios->addWidget(low_radio_);
    radios->addWidget(high_radio_);
    radios->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(frequency);
    right->addStretch(1);
    right->addWidget(exit_button_, 0, Qt::AlignRight);
    auto* controls = new QHBoxLayout;
    controls->addLayout(radios);
    controls->addWidget(type_list_);
    controls->addLayout(right, 1);
    // The graph keeps its picture's size, never squashed; where the screen
    // has no room for the whole editor, the graph and the controls scroll
    // and the line below them stays.
    graph_->setMinimumSize(graph_->sizeHint());
    auto* content = new QWidget(this);
    auto* scrolled = new QVBoxLayout(content);
    scrolled->setContentsMargins(0, 0, 0, 0);
    scrolled->addWidget(graph_);
    scrolled->addLayout(controls);
    auto* page = new QVBoxLayout(this);
    page->addWidget(new FittingScrollArea(content, this), 1);
    // Undo and Redo, and the link with the PC/unit state (the main status
    // bar is out of reach while the editor is open).
    auto* status = new QHBoxLayout;
    if (QWidget* undo = history::AttachUndoControls(this, model_, [this] {
            SetUpSide();
            UpdateGraph();
        }))
        status->addWidget(undo);
    status->addWidget(new device::UnitStateLine(model_, this), 1);
    page->addLayout(status);
    FitToScreen(this, page->sizeHint());

    connect(sides, &QButtonGroup::idClicked, this, &CDlgXover::OnSideChosen);
    connect(type_list_, &QListWidget::currentRowChanged, this, &CDlgXover::OnTypeChosen);
    connect(scroll_, &QScrollBar::actionTriggered, this, &CDlgXover::OnScrollAction);
    connect(exit_button_, &QPushButton::clicked, this, &QDialog::accept);

    (Side() == kLowPass ? high_radio_ : low_radio_)->setChecked(true);
    SetUpSide();
    UpdateGraph();
    // A change made elsewhere (a remote client) shows at once too.
    device::FollowModel(this, model_, [this] {
        SetUpSide();
        UpdateGraph();
    });
}

// ---------------------------------------------------------------------------
// Showing the model

void CDlgXover::SetUpSide() {
    const int ch = Chan();
    lower_ = std::max(model_.xo_freq[ch][kHighPass], kvvalues::kFreqRowFirst);
    upper_ = std::min(model_.xo_freq[ch][kLowPass], kvvalues::kFreqRowLast);
    if (Side() == kLowPass) {
        left_label_->setText(Label(lower_));
        right_label_->setText(QStringLiteral("Out"));
        scroll_->setRange(lower_, kRowOutHigh);
    } else {
        left_label_->setText(QStringLiteral("Out"));
        right_label_->setText(Label(upper_));
        scroll_->setRange(kRowOutLow, upper_);
    }
    ShowRow();
    ShowType();
    model_.SetLinkVal();
}

// setValue moves the thumb without triggering a scroll action.
void CDlgXover::ShowRow() {
    scroll_->setValue(Row());
    freq_edit_->setText(Label(Row()));
}

void CDlgXover::ShowType() {
    const QSignalBlocker block(type_list_);
    type_list_->setCurrentRow(Type());
}

void CDlgXover::UpdateGraph() {
    const int ch = Chan();
    graph_->SetEqSetB(kvvalues::ChannelEqSet(model_, ch));
    graph_->ShowCrossover(model_.xo_freq[ch][kHighPass], model_.xo_type[ch][kHighPass], model_.xo_freq[ch][kLowPass],
                          model_.xo_type[ch][kLowPass]);
}

// ---------------------------------------------------------------------------
// Edits

void CDlgXover::OnSideChosen(int side) {
    model_.xo_side = side;
    SetUpSide();
}

bool CDlgXover::StoreRow(int row) {
    // A switched-out filter costs the DSP nothing; switching it in needs room.
    const int out = Side() == kHighPass ? kRowOutLow : kRowOutHigh;
    if (Row() == out && row != out && !kvcom::EqFilterFits(model_, Chan())) return false;
    Row() = row;
    return true;
}

static int FreqCode(int side) { return side == kHighPass ? PC_XO_HP_FREQ : PC_XO_LP_FREQ; }
static int TypeCode(int side) { return side == kHighPass ? PC_XO_HP_TYPE : PC_XO_LP_TYPE; }

// Called before the scroll bar applies the action: the step is worked out
// here from the stored row and the thumb set to the result.
void CDlgXover::OnScrollAction(int action) {
    int row = Row();
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: row += 1; break;
    case QAbstractSlider::SliderSingleStepSub: row -= 1; break;
    case QAbstractSlider::SliderPageStepAdd: row += 5; break;
    case QAbstractSlider::SliderPageStepSub: row -= 5; break;
    case QAbstractSlider::SliderToMinimum: row -= 5; break;  // Home: five rows, not to the end
    case QAbstractSlider::SliderToMaximum: row += 1; break;  // End: one row, not to the end
    case QAbstractSlider::SliderMove: row = scroll_->sliderPosition(); break;
    default: return;
    }
    row = Side() == kHighPass ? std::clamp(row, kRowOutLow, upper_) : std::clamp(row, lower_, kRowOutHigh);
    const bool stored = StoreRow(row);
    scroll_->setSliderPosition(Row());
    freq_edit_->setText(Label(Row()));
    if (stored) {
        model_.SetLinkVal();
        device::SendParam(model_, FreqCode(Side()));
        UpdateGraph();
    }
    scroll_->setFocus();
}

void CDlgXover::OnTyped() {
    int row = kvvalues::FreqIndexFromText(freq_edit_->text().toStdString(), kvvalues::FreqMode::Xover);
    row = Side() == kHighPass ? std::min(row, upper_) : std::clamp(row, lower_, kRowOutHigh);
    const bool stored = StoreRow(row);
    ShowRow();
    if (!stored) return;
    UpdateGraph();
    model_.SetLinkVal();
    device::SendParam(model_, FreqCode(Side()));
}

void CDlgXover::OnTypeChosen(int type) {
    if (type < 0 || type >= kvvalues::kXoverTypes) return;
    // A switched-out high-pass or a step up to 48 dB may need more DSP than
    // is left; such a choice is refused by putting the list back.
    const bool needs_budget = Row() == kRowOutLow || (Type() < kFirst48dBType && type >= kFirst48dBType);
    if (needs_budget && !kvcom::EqFilterFits(model_, Chan())) {
        ShowType();
        return;
    }
    Type() = type;
    UpdateGraph();
    model_.SetLinkVal();
    device::SendParam(model_, TypeCode(Side()));
}

// ---------------------------------------------------------------------------
// Keys and focus

void CDlgXover::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter confirms a typed frequency and never closes the dialog.
        if (focusWidget() == freq_edit_) OnTyped();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CDlgXover::eventFilter(QObject* watched, QEvent* event) {
    if (watched == freq_edit_ && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        freq_edit_->setText(Label(Row()));  // unconfirmed typing is dropped
    }
    return QDialog::eventFilter(watched, event);
}
