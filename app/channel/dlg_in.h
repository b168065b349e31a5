// The "In" page of the channel sheet: the delays of In A, In B and In SUM A+B
// and the EQ filter lists of In A and In B. While the stereo link is on, In B
// follows In A: its delay edit and grid are greyed, and every In A delay
// change is stored for In B as well.
#pragma once

#include <array>

#include "channel/channel_page.h"

class CommitEdit;
class EqGrid;
class QGroupBox;
class SpinButtons;

class CDlgIn : public ChannelPage {
    Q_OBJECT
public:
    explicit CDlgIn(CDSDATA& model, QWidget* parent = nullptr);

    void Activate() override;

protected:
    void ShowTexts() override;

private:
    enum Input { kInA, kInB, kInSum, kInputs };

    int& Delay(int input);
    // The largest output delay among the outputs fed by the input (0 when
    // none is): input delay plus output delay may not pass 30500 steps.
    int LargestOutputDelay(int input) const;
    int DelayLimit(int input) const;
    void StoreDelay(int input, int steps);
    void OnDelayStep(int input, int step);
    void OnDelayEntered(int input);
    void RefreshGrids();
    void OnGridClicked(int channel, int row);

    std::array<CommitEdit*, kInputs> edits_{};
    std::array<SpinButtons*, kInputs> spins_{};
    QGroupBox* ina_group_;
    QGroupBox* inb_group_;
    EqGrid* ina_grid_;
    EqGrid* inb_grid_;
};
