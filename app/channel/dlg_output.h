// The page of the channel sheet that edits one output (or, while the stereo
// link is on, one pair of outputs): gain, limiter threshold, mute, polarity,
// source, delay, the crossover cells and the EQ grid. Every change goes into
// the model and out to the device at once.
#pragma once

#include <array>

#include "channel/channel_page.h"

class CGridButton;
class CommitEdit;
class EqGrid;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QSlider;
class SpinButtons;

class CDlgOutput : public ChannelPage {
    Q_OBJECT
public:
    // output: 0..5 for Out 1..Out 6.
    CDlgOutput(CDSDATA& model, int output, QWidget* parent = nullptr);

    int Output() const { return n_; }
    void Activate() override;

protected:
    void ShowTexts() override;

private:
    // The partner output while the link is on, -1 when there is none. Leaves
    // cur_chan on this page's output, where it stays while the page is active.
    int Partner();
    // The larger input delay of the sources of this output and its partner:
    // output delay plus this may not pass 30500 steps.
    int ApplicableInputDelay();
    void ShowDelayRange();
    void RefreshEqGrid();
    void RefreshCrossoverCells();
    void AddScale(const QSlider* slider, const channel_layout::DuRect& area, const QStringList& texts);

    // Stores this output's gain, limit or delay, copies the linked values
    // to the partner (the link repeat of the message reaches it), sends it.
    void Store(int (&field)[KV_OUTPUTS], int value, int code);

    void OnGainMoved(int position);
    void OnLimitMoved(int position);
    void OnGainEntered();
    void OnLimitEntered();
    void OnDelayEntered();
    void OnDelayStep(int step);
    void OnMute(bool checked);
    void OnPartnerMute(bool checked);
    void OnPolarity(bool checked);
    void OnSource(int source);
    void OnPartnerSource(int source);
    void OnCrossoverClicked(int side);
    void OnEqRowClicked(int row);

    const int n_;

    QSlider* gain_slider_;
    CommitEdit* gain_edit_;
    QSlider* limit_slider_;
    CommitEdit* limit_edit_;
    QCheckBox* polarity_;
    QCheckBox* mute_;
    QCheckBox* partner_mute_;
    QGroupBox* source_group_;
    QButtonGroup* source_;
    QGroupBox* partner_source_group_;
    QButtonGroup* partner_source_;
    CommitEdit* delay_edit_;
    SpinButtons* delay_spin_;
    std::array<CGridButton*, 4> xover_cells_{};
    EqGrid* grid_;
};
