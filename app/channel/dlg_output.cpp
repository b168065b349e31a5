#include "channel/dlg_output.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <algorithm>

#include "channel/channel_editors.h"
#include "channel/eq_grid.h"
#include "channel/grid_button.h"
#include "device/device_line.h"
#include "kvproto/channels.h"
#include "kvvalues/text_conversions.h"
#include "kvvalues/value_tables.h"
#include "widgets/focus_mark.h"
#include "widgets/page_controls.h"

namespace {

using namespace channel_layout;

constexpr int kGainMin = -75, kGainMax = 75;     // 0.2 dB steps
constexpr int kLimitMin = -50, kLimitMax = 100;  // 0.2 dBu steps
constexpr int kHighPassOff = 0;                  // frequency row of a switched-out high-pass
constexpr int kLowPassOff = 201;                 // and of a switched-out low-pass

const char* const kNoteText =
    "Note:EQ filters are dynamically assigned.Please setup the previous EQ,the next EQ can be setup.\n"
    "When EQ filters are used up,EQ is not available any more.";

QString Q(const std::string& s) { return QString::fromStdString(s); }

QSlider* MakeTrackBar(QWidget* parent, int minimum, int maximum, QSlider::TickPosition ticks) {
    auto* s = new QSlider(Qt::Vertical, parent);
    MarkFocus(s);
    // Track bar positions are negated values: the top end is the highest level.
    s->setRange(minimum, maximum);
    s->setInvertedAppearance(true);
    s->setInvertedControls(true);
    s->setSingleStep(1);
    s->setPageStep(1);
    s->setTickInterval(5);
    s->setTickPosition(ticks);
    return s;
}

void SetTrackBar(QSlider* slider, int position) {
    const QSignalBlocker block(slider);
    slider->setValue(position);
}

int InputDelayOfSource(const CDSDATA& m, int source) {
    switch (source) {
    case 0: return m.ina_delay;
    case 1: return m.inb_delay;
    case 2: return m.sum_delay;
    default: return 0;
    }
}

QString XoverShortName(int type) {
    if (type < 0 || type >= static_cast<int>(kvvalues::XoverTypeNames.size())) return QString();
    return QString::fromLatin1(kvvalues::XoverTypeNames[type].short_name);
}

}  // namespace

CDlgOutput::CDlgOutput(CDSDATA& model, int output, QWidget* parent) : ChannelPage(model, parent), n_(output) {
    setFixedSize(du_.size(kOutputPageWidth, kOutputPageHeight));

    gain_slider_ = Place(MakeTrackBar(this, kGainMin, kGainMax, QSlider::TicksBothSides), kGainSlider);
    gain_slider_->setObjectName(QStringLiteral("gainSlider"));
    AddScale(gain_slider_, kGainScale, {"+15dB", "+10dB", "+5dB", "+0.0dB", "-5dB", "-10dB", "-15dB"});
    gain_edit_ = Place(new CommitEdit(this), kGainEdit);
    gain_edit_->setObjectName(QStringLiteral("gainEdit"));

    polarity_ = Place(new QCheckBox(QStringLiteral("180"), this), kPolarity);
    polarity_->setObjectName(QStringLiteral("polarity"));
    mute_ = Place(new QCheckBox(QStringLiteral("Mute"), this), kMute);
    mute_->setObjectName(QStringLiteral("mute"));
    partner_mute_ = Place(new QCheckBox(QStringLiteral("Mute 2"), this), kPartnerMute);
    partner_mute_->setObjectName(QStringLiteral("partnerMute"));

    limit_slider_ = Place(MakeTrackBar(this, -kLimitMax, -kLimitMin, QSlider::TicksBothSides), kLimitSlider);
    limit_slider_->setObjectName(QStringLiteral("limitSlider"));
    AddScale(limit_slider_, kLimitScale, {"+20", "+15", "+10", "+5", "0", "-5", "-10"});
    limit_edit_ = Place(new CommitEdit(this), kLimitEdit);
    limit_edit_->setObjectName(QStringLiteral("limitEdit"));

    const QStringList source_names{QStringLiteral("IN A"), QStringLiteral("IN B"), QStringLiteral("IN SUM A+B")};
    auto make_source = [&](const DuRect& group_rect, const std::array<int, 3>& radio_y, const QString& name,
                           QGroupBox*& group, QButtonGroup*& buttons) {
        group = Place(new QGroupBox(QStringLiteral("Source"), this), group_rect);
        group->setObjectName(name + QStringLiteral("Group"));
        buttons = new QButtonGroup(this);
        for (int s = 0; s < 3; ++s) {
            auto* radio = new QRadioButton(source_names[s], this);
            radio->setObjectName(QStringLiteral("%1%2").arg(name).arg(s));
            Place(radio, {kSourceRadioX, radio_y[s], kSourceRadioWidth, kSourceRadioHeight});
            buttons->addButton(radio, s);
        }
    };
    make_source(kSourceGroup, kSourceRadioY, QStringLiteral("source"), source_group_, source_);
    make_source(kPartnerSourceGroup, kPartnerSourceRadioY, QStringLiteral("partnerSource"), partner_source_group_,
                partner_source_);

    AddLabel(QStringLiteral("Delay"), kDelayLabel);
    delay_edit_ = new CommitEdit(this);
    delay_edit_->setObjectName(QStringLiteral("delayEdit"));
    delay_spin_ = new SpinButtons(this);
    delay_spin_->setObjectName(QStringLiteral("delaySpin"));
    PlaceWithSpin(delay_edit_, delay_spin_, kDelayEdit);

    AddLabel(QStringLiteral("LOW Freq"), kLowFreqLabel);
    AddLabel(QStringLiteral("HIGH Freq"), kHighFreqLabel);
    const std::array<const char*, 4> xover_names{"xoHpFreq", "xoHpType", "xoLpFreq", "xoLpType"};
    for (int i = 0; i < 4; ++i) {
        xover_cells_[i] = Place(new CGridButton(this), kXoverCells[i]);
        xover_cells_[i]->setObjectName(QString::fromLatin1(xover_names[i]));
        const int side = i / 2;  // the first two cells are the high-pass, the others the low-pass
        connect(xover_cells_[i], &CGridButton::clicked, this, [this, side] { OnCrossoverClicked(side); });
    }

    const std::array<const char*, 4> headers{"Type", "Freq", "Gain", "Oct"};
    for (int c = 0; c < 4; ++c)
        AddLabel(QString::fromLatin1(headers[c]), {kOutputGridX[c], kOutputHeaderY, kCellWidth, 9}, Qt::AlignCenter);
    grid_ = new EqGrid(this, du_, kOutputGridX, kOutputGridY, QStringLiteral("eq"));
    connect(grid_, &EqGrid::rowClicked, this, &CDlgOutput::OnEqRowClicked);

    auto* note = AddLabel(QString::fromLatin1(kNoteText), kNote, Qt::AlignLeft | Qt::AlignTop);
    note->setWordWrap(true);

    connect(gain_slider_, &QSlider::valueChanged, this, &CDlgOutput::OnGainMoved);
    connect(limit_slider_, &QSlider::valueChanged, this, &CDlgOutput::OnLimitMoved);
    WireEdit(gain_edit_, [this] { OnGainEntered(); });
    WireEdit(limit_edit_, [this] { OnLimitEntered(); });
    WireEdit(delay_edit_, [this] { OnDelayEntered(); });
    connect(delay_spin_, &SpinButtons::stepRequested, this, &CDlgOutput::OnDelayStep);
    connect(delay_edit_, &CommitEdit::stepRequested, this, &CDlgOutput::OnDelayStep);
    connect(mute_, &QCheckBox::clicked, this, &CDlgOutput::OnMute);
    connect(partner_mute_, &QCheckBox::clicked, this, &CDlgOutput::OnPartnerMute);
    connect(polarity_, &QCheckBox::clicked, this, &CDlgOutput::OnPolarity);
    connect(source_, &QButtonGroup::idClicked, this, &CDlgOutput::OnSource);
    connect(partner_source_, &QButtonGroup::idClicked, this, &CDlgOutput::OnPartnerSource);
}

void CDlgOutput::AddScale(const QSlider* slider, const DuRect& area, const QStringList& texts) {
    // Each label stands level with the track bar position it names.
    const int handle = slider->style()->pixelMetric(QStyle::PM_SliderLength, nullptr, slider);
    const QRect g = slider->geometry();
    const int span = std::max(1, g.height() - handle);
    const int x = du_.x(area.x);
    const int w = du_.x(area.w);
    const int h = du_.y(8);
    const int steps = static_cast<int>(texts.size()) - 1;
    for (int i = 0; i <= steps; ++i) {
        const int value = slider->minimum() + (slider->maximum() - slider->minimum()) * i / steps;
        const int centre =
            g.top() + handle / 2 + QStyle::sliderPositionFromValue(slider->minimum(), slider->maximum(), value, span);
        auto* label = new QLabel(texts[i], this);
        label->setGeometry(x, centre - h / 2, w, h);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
}

int CDlgOutput::Partner() {
    model_.cur_chan = n_;
    return model_.GetLinkChan();
}

int CDlgOutput::ApplicableInputDelay() {
    int delay = InputDelayOfSource(model_, model_.out_source[n_]);
    const int p = Partner();
    if (p >= 0) delay = std::max(delay, InputDelayOfSource(model_, model_.out_source[p]));
    return delay;
}

void CDlgOutput::ShowDelayRange() {
    const int input = ApplicableInputDelay();
    // One below the largest allowed delay; a step of the arrows still reaches it.
    delay_spin_->setRange(0, KV_MAX_DELAY - 1 - input);
    const bool room = input < KV_MAX_DELAY;
    delay_edit_->setEnabled(room);
    delay_spin_->setEnabled(room);
}

void CDlgOutput::Activate() {
    model_.cur_chan = n_;
    SetTrackBar(gain_slider_, -model_.out_gain[n_]);
    SetTrackBar(limit_slider_, -model_.out_limit[n_]);
    if (QAbstractButton* b = source_->button(model_.out_source[n_])) b->setChecked(true);

    const int p = Partner();
    partner_mute_->setVisible(p >= 0);
    for (QAbstractButton* b : partner_source_->buttons()) b->setEnabled(p >= 0);
    if (p >= 0) {
        mute_->setText(QStringLiteral("Mute %1").arg(n_ + 1));
        partner_mute_->setText(QStringLiteral("Mute %1").arg(p + 1));
        partner_mute_->setChecked(model_.out_mute[p] != 0);
        source_group_->setTitle(QStringLiteral("Source[Out %1]").arg(n_ + 1));
        partner_source_group_->setTitle(QStringLiteral("Source[Out %1]").arg(p + 1));
        if (QAbstractButton* b = partner_source_->button(model_.out_source[p])) b->setChecked(true);
    } else {
        mute_->setText(QStringLiteral("Mute"));
        source_group_->setTitle(QStringLiteral("Source"));
    }

    ShowDelayRange();
    delay_spin_->setPosition(model_.out_delay[n_]);

    RefreshEqGrid();
    mute_->setChecked(model_.out_mute[n_] != 0);
    polarity_->setChecked(model_.out_polarity[n_] != 0);
    ShowTexts();
}

void CDlgOutput::ShowTexts() {
    gain_edit_->setText(Q(kvvalues::FormatLevel(model_.out_gain[n_])));
    limit_edit_->setText(Q(kvvalues::FormatLimit(model_.out_limit[n_])));
    delay_edit_->setText(Q(kvvalues::FormatDelay(model_.out_delay[n_])));
}

void CDlgOutput::RefreshEqGrid() {
    model_.cur_chan = n_;
    const bool room = kvcom::EqFilterFits(model_, n_);
    const CDSDATA& m = model_;
    grid_->Show(
        m.out_eq_slot[n_],
        [&m](int r) {
            return EqGrid::Filter{m.eq_type[r], m.eq_freq[r], m.eq_gain[r], m.eq_bw[r]};
        },
        room);
    RefreshCrossoverCells();
}

void CDlgOutput::RefreshCrossoverCells() {
    model_.cur_chan = n_;
    // A side in use already has its DSP units; a switched-out side may be
    // switched on only while its own DSP has room (no spilling over here).
    const bool room = kvcom::CrossoverSideFits(model_, n_);
    const int off_rows[2] = {kHighPassOff, kLowPassOff};
    for (int side = 0; side < 2; ++side) {
        const int freq = model_.xo_freq[n_][side];
        const int type = model_.xo_type[n_][side];
        CGridButton* freq_cell = xover_cells_[2 * side];
        CGridButton* type_cell = xover_cells_[2 * side + 1];
        freq_cell->setText(QString::fromLatin1(kvvalues::FreqLabel(freq)));
        type_cell->setText(XoverShortName(type));
        const bool enabled = freq != off_rows[side] || room;
        freq_cell->setEnabled(enabled);
        type_cell->setEnabled(enabled);
    }
}

void CDlgOutput::Store(int (&field)[KV_OUTPUTS], int value, int code) {
    model_.cur_chan = n_;
    field[n_] = value;
    model_.SetLinkVal();
    device::SendParam(model_, code);
}

void CDlgOutput::OnGainMoved(int position) {
    Store(model_.out_gain, -position, PC_OUT_GAIN);
    ShowTexts();
}

void CDlgOutput::OnLimitMoved(int position) {
    Store(model_.out_limit, -position, PC_OUT_LIMIT);
    ShowTexts();
}

void CDlgOutput::OnGainEntered() {
    const int gain = kvvalues::LevelStepsFromText(gain_edit_->text().toStdString(), kGainMin, kGainMax);
    SetTrackBar(gain_slider_, -gain);
    Store(model_.out_gain, gain, PC_OUT_GAIN);
}

void CDlgOutput::OnLimitEntered() {
    const int limit = kvvalues::LevelStepsFromText(limit_edit_->text().toStdString(), kLimitMin, kLimitMax);
    SetTrackBar(limit_slider_, -limit);
    Store(model_.out_limit, limit, PC_OUT_LIMIT);
}

void CDlgOutput::OnDelayEntered() {
    const int limit = std::max(0, KV_MAX_DELAY - ApplicableInputDelay());
    const int delay = std::min(kvvalues::DelayStepsFromText(delay_edit_->text().toStdString()), limit);
    delay_spin_->setPosition(delay);
    Store(model_.out_delay, delay, PC_OUT_DELAY);
}

void CDlgOutput::OnDelayStep(int step) {
    if (!delay_spin_->isEnabled()) return;
    const int limit = std::max(0, KV_MAX_DELAY - ApplicableInputDelay());
    const int delay = std::clamp(delay_spin_->position() + step, 0, limit);
    delay_spin_->setRange(0, limit);
    delay_spin_->setPosition(delay);
    Store(model_.out_delay, delay, PC_OUT_DELAY);
    ShowTexts();
}

void CDlgOutput::OnMute(bool checked) {
    model_.cur_chan = n_;
    model_.out_mute[n_] = checked ? 1 : 0;
    device::SendParam(model_, PC_OUT_MUTE);
}

void CDlgOutput::OnPartnerMute(bool checked) {
    const int p = Partner();
    if (p < 0) return;
    // The device takes the partner's mute on its own; it is never repeated.
    model_.cur_chan = p;
    model_.out_mute[p] = checked ? 1 : 0;
    device::SendParam(model_, PC_OUT_MUTE);
    model_.cur_chan = n_;
}

void CDlgOutput::OnPolarity(bool checked) {
    model_.cur_chan = n_;
    model_.out_polarity[n_] = checked ? 1 : 0;
    device::SendParam(model_, PC_OUT_POLARITY);
}

void CDlgOutput::OnSource(int source) {
    model_.cur_chan = n_;
    model_.out_source[n_] = static_cast<char>(source);
    device::SendOutSrce(model_, n_);
    ShowDelayRange();
}

void CDlgOutput::OnPartnerSource(int source) {
    const int p = Partner();
    if (p < 0) return;
    model_.out_source[p] = static_cast<char>(source);
    device::SendOutSrce(model_, p);
    // The partner's input delay counts against this page's delay too.
    ShowDelayRange();
}

void CDlgOutput::OnCrossoverClicked(int side) {
    model_.cur_chan = n_;
    model_.xo_side = side;
    Editors().EditCrossover(model_, this);
    RefreshEqGrid();
}

void CDlgOutput::OnEqRowClicked(int row) {
    model_.cur_chan = n_;
    model_.cur_slot = row;
    model_.cur_eq = model_.out_eq_slot[n_][row];
    Editors().EditEq(model_, false, this);
    RefreshEqGrid();
}
