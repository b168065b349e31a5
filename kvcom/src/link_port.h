// Hooks between the serial link and the writer's transport.
#pragma once

#include "transport.h"

namespace kvcom {

// The link announces its open port here (nullptr when it closes).
void SetPortTransport(Transport* port);

}  // namespace kvcom
