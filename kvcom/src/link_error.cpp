// The reason of the last link failure. Written by the GUI thread (opening)
// and by the reader or writer (a lost device), read by anyone.
#include "link_error.h"

#include <kvcom/kvcom.h>

#include <atomic>
#include <cerrno>

namespace kvcom {

namespace {
std::atomic<int> g_link_error{0};
}  // namespace

void SetLinkError(int code) { g_link_error.store(code, std::memory_order_release); }

}  // namespace kvcom

int LinkLastError() { return kvcom::g_link_error.load(std::memory_order_acquire); }

const char* LinkErrorMessage(int code) {
    // Fixed texts only: the message must stay valid and unchanged whichever
    // thread asks.
    switch (code) {
    case 0: return "";
    case ENOENT: return "There is no such device.";
    case EACCES:
    case EPERM: return "No permission to use the device.";
    case EBUSY: return "The device is in use by another program.";
    case ENOTTY: return "The device is not a serial port.";
    case EINVAL: return "The device refused the line settings.";
    case EBADF: return "The link was not set up.";
    case EIO:
    case ENXIO:
    case ENODEV: return "The device went away.";
    case ETIMEDOUT: return "The device takes nothing that is sent.";
    case EAGAIN:
    case ENOMEM: return "Out of system resources.";
    default: return "The link failed.";
    }
}
