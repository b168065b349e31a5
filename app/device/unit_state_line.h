// One line for a modal window that hides the main status bar (the channel
// sheet, the editors): the link and whether the PC's program is the unit's,
// kept up to date. Hidden where the model has no state (a window on its own).
#pragma once

#include <QLabel>

#include <kvcom/kvcom.h>

namespace device {

class UnitStateLine : public QLabel {
    Q_OBJECT

public:
    UnitStateLine(const CDSDATA& model, QWidget* parent = nullptr);

private:
    void Update();

    const CDSDATA& model_;
};

}  // namespace device
