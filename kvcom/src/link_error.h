// Why the link last failed, kept for LinkLastError.
#pragma once

namespace kvcom {

// Records `code` (an errno value; 0 when the link opened). Any thread.
void SetLinkError(int code);

}  // namespace kvcom
