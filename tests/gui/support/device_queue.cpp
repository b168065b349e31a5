#include "device_queue.h"

#include "device/device_line.h"

namespace kvtest {

void WaitForEachSend() { device::Line().SetWaitForEachSend(true); }

}  // namespace kvtest
