// Open windows follow the model: whoever changed it (another window, undo,
// a device task, a remote client), a window that shows it looks again.
#pragma once

#include <functional>

#include <kvcom/kvcom.h>

class QWidget;

namespace device {

// Runs `refresh` soon after every change of `model` that the line reports
// (modelChanged), once per turn of the event loop however many changes came,
// for as long as `window` lives. A line edit of the window that the user is
// typing in keeps the typing: Enter still commits it, Escape or leaving it
// drops it.
void FollowModel(QWidget* window, const CDSDATA& model, std::function<void()> refresh);

}  // namespace device
