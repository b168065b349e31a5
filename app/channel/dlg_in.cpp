#include "channel/dlg_in.h"

#include <QGroupBox>
#include <QLabel>
#include <algorithm>

#include "channel/channel_editors.h"
#include "channel/eq_grid.h"
#include "device/device_line.h"
#include "kvproto/channels.h"
#include "kvproto/channels.h"
#include "kvvalues/text_conversions.h"
#include "widgets/page_controls.h"

namespace {

using namespace channel_layout;

constexpr std::array<int, 3> kDelayCodes{PC_INA_DELAY, PC_INB_DELAY, PC_SUM_DELAY};
constexpr std::array<const char*, 3> kInputLabels{"In A", "In B", "In SUM"};
constexpr std::array<const char*, 3> kInputNames{"ina", "inb", "sum"};

}  // namespace

CDlgIn::CDlgIn(CDSDATA& model, QWidget* parent) : ChannelPage(model, parent) {
    setFixedSize(du_.size(kInputPageWidth, kInputPageHeight));

    auto* delay_group = Place(new QGroupBox(QStringLiteral("Delay"), this), kDelayGroup);
    delay_group->lower();
    for (int i = 0; i < kInputs; ++i) {
        const DuRect& r = kInputDelayEdits[i];
        AddLabel(QString::fromLatin1(kInputLabels[i]), {kInputLabelX, r.y, kInputLabelWidth, r.h});
        edits_[i] = new CommitEdit(this);
        edits_[i]->setObjectName(QStringLiteral("%1DelayEdit").arg(QLatin1String(kInputNames[i])));
        spins_[i] = new SpinButtons(this);
        spins_[i]->setObjectName(QStringLiteral("%1DelaySpin").arg(QLatin1String(kInputNames[i])));
        PlaceWithSpin(edits_[i], spins_[i], r);
        WireEdit(edits_[i], [this, i] { OnDelayEntered(i); });
        connect(spins_[i], &SpinButtons::stepRequested, this, [this, i](int step) { OnDelayStep(i, step); });
        connect(edits_[i], &CommitEdit::stepRequested, this, [this, i](int step) { OnDelayStep(i, step); });
    }

    ina_group_ = Place(new QGroupBox(QStringLiteral("InA"), this), kInAGroup);
    ina_group_->setObjectName(QStringLiteral("inaGroup"));
    inb_group_ = Place(new QGroupBox(QStringLiteral("InB"), this), kInBGroup);
    inb_group_->setObjectName(QStringLiteral("inbGroup"));
    for (QGroupBox* g : {ina_group_, inb_group_}) {
        g->setAlignment(Qt::AlignHCenter);
        g->lower();
    }
    ina_grid_ = new EqGrid(this, du_, kInAGridX, kInAGridY, QStringLiteral("ina"));
    inb_grid_ = new EqGrid(this, du_, kInBGridX, kInBGridY, QStringLiteral("inb"));
    connect(ina_grid_, &EqGrid::rowClicked, this, [this](int row) { OnGridClicked(CHAN_IN_A, row); });
    connect(inb_grid_, &EqGrid::rowClicked, this, [this](int row) { OnGridClicked(CHAN_IN_B, row); });
}

int& CDlgIn::Delay(int input) {
    switch (input) {
    case kInA: return model_.ina_delay;
    case kInB: return model_.inb_delay;
    default: return model_.sum_delay;
    }
}

int CDlgIn::LargestOutputDelay(int input) const {
    int largest = 0;
    for (int n = 0; n < KV_OUTPUTS; ++n)
        if (model_.out_source[n] == input) largest = std::max(largest, model_.out_delay[n]);
    return largest;
}

int CDlgIn::DelayLimit(int input) const {
    int outputs = LargestOutputDelay(input);
    // While linked In B takes every In A delay, so the outputs fed by In B
    // bound it as well.
    if (input == kInA && model_.link_on) outputs = std::max(outputs, LargestOutputDelay(kInB));
    return std::max(0, KV_MAX_DELAY - outputs);
}

void CDlgIn::Activate() {
    for (int i = 0; i < kInputs; ++i) {
        const int limit = DelayLimit(i);
        spins_[i]->setRange(0, limit);
        spins_[i]->setPosition(Delay(i));
        const bool editable = limit > 0 && !(i == kInB && model_.link_on);
        edits_[i]->setEnabled(editable);
        spins_[i]->setEnabled(editable);
    }
    RefreshGrids();
    model_.delay_unit = 0;  // milliseconds
    if (model_.link_on) {
        ina_group_->setTitle(QStringLiteral("InA&&B"));
        inb_group_->setTitle(QString());
    } else {
        ina_group_->setTitle(QStringLiteral("InA"));
        inb_group_->setTitle(QStringLiteral("InB"));
    }
    ShowTexts();
}

void CDlgIn::ShowTexts() {
    for (int i = 0; i < kInputs; ++i) edits_[i]->setText(QString::fromStdString(kvvalues::FormatDelay(Delay(i))));
}

void CDlgIn::StoreDelay(int input, int steps) {
    // cur_chan is left as it is: these messages name their input themselves.
    Delay(input) = steps;
    if (input == kInA && model_.link_on) model_.inb_delay = steps;
    spins_[input]->setPosition(steps);
    device::SendParam(model_, kDelayCodes[input]);
}

void CDlgIn::OnDelayStep(int input, int step) {
    if (!spins_[input]->isEnabled()) return;
    StoreDelay(input, std::clamp(spins_[input]->position() + step, 0, DelayLimit(input)));
    ShowTexts();
}

void CDlgIn::OnDelayEntered(int input) {
    StoreDelay(input, std::min(kvvalues::DelayStepsFromText(edits_[input]->text().toStdString()), DelayLimit(input)));
}

void CDlgIn::RefreshGrids() {
    const bool room = kvcom::EqFilterFits(model_, CHAN_IN_A);  // both inputs run on the first DSP
    const CDSDATA& m = model_;
    ina_grid_->Show(
        m.ina_eq_slot,
        [&m](int r) {
            return EqGrid::Filter{m.ina_eq_type[r], m.ina_eq_freq[r], m.ina_eq_gain[r], m.ina_eq_bw[r]};
        },
        room);
    // Empty In B rows show the default row of the In B copies, like In A, so
    // they never show another filter's values.
    inb_grid_->Show(
        m.inb_eq_slot,
        [&m](int r) {
            return EqGrid::Filter{m.inb_eq_type[r], m.inb_eq_freq[r], m.inb_eq_gain[r], m.inb_eq_bw[r]};
        },
        room);
    // While linked In B follows In A and is edited through the In A grid.
    if (model_.link_on) inb_grid_->DisableAll();
}

void CDlgIn::OnGridClicked(int channel, int row) {
    model_.cur_chan = channel;
    model_.cur_slot = row;
    model_.cur_eq = kvcom::EqSlotList(model_, channel)[row];
    Editors().EditEq(model_, true, this);
    RefreshGrids();
}
