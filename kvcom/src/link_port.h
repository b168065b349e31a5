// Hooks between the serial link, the writer and its transport.
#pragma once

#include "transport.h"

namespace kvcom {

// The link announces its open port here (nullptr when it closes).
void SetPortTransport(Transport* port);

// The line is gone (a hang-up, a read or write error, a write that could not
// go on): records `why` as the link's last error, drops `connected`, lets the
// reader end and wakes every wait, which then gives up. The port stays open
// until CloseConnection or the next OpenConnection. Any thread.
void LinkLost(int why);

}  // namespace kvcom
