#include "device/unit_state_line.h"

#include "device/unit_state.h"

namespace device {

UnitStateLine::UnitStateLine(const CDSDATA& model, QWidget* parent) : QLabel(parent), model_(model) {
    setObjectName(QStringLiteral("unitStateLine"));
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setForegroundRole(QPalette::PlaceholderText);
    if (UnitState* state = UnitState::For(model_)) connect(state, &UnitState::changed, this, &UnitStateLine::Update);
    Update();
}

void UnitStateLine::Update() {
    UnitState* state = UnitState::For(model_);
    if (!state) {
        hide();
        return;
    }
    QStringList parts;
    if (!state->LinkText().isEmpty()) parts << state->LinkText();
    if (!state->Text().isEmpty()) parts << state->Text();
    setText(parts.join(QStringLiteral(" · ")));
    setToolTip(text());
    setVisible(!parts.isEmpty());
}

}  // namespace device
