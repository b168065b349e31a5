// Why a serial port could not be opened, told so the user can act on it,
// and the one message the program gives when the link fails.
#pragma once

#include <QString>

class QWidget;

// What the file system says about a port's device.
struct PortState {
    QString path;          // the device behind "COM<n>"
    bool exists = false;
    bool readable_writable = false;  // for this user
    QString group;         // the group owning the device
};

PortState ProbePort(int port);

// A sentence on what is wrong and what to do, or empty when nothing can be
// told from the device node.
QString PortProblemText(const PortState& state);

// "RS232 Connection failed.\r\nPlease select another port." with caption
// "KALVORE" and the error icon, over parent, with the reason for `port`
// below it where one can be found.
void ShowConnectionFailed(QWidget* parent, int port);
