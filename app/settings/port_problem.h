// Why a serial port could not be opened, told so the user can act on it,
// and the one message the program gives when the link fails.
#pragma once

#include <QString>

class QWidget;

// A port the library could not open, and why.
struct PortState {
    QString path;     // the device behind "COM<n>"
    int error = 0;    // the library's reason (LinkLastError), an errno code
    QString group;    // the group owning the device, when permission was refused
    QString holders;  // who holds a busy device ("minicom (PID 4242)"), where the system shows it
};

// The device of `port` with the reason the library kept from the last
// OpenConnection (call it right after the open failed).
PortState ProbePort(int port);

// A sentence on what is wrong and what to do, or empty when there is
// nothing to tell.
QString PortProblemText(const PortState& state);

// "RS232 Connection failed.\r\nPlease select another port." with caption
// "KALVORE" and the error icon, over parent, with the reason for `port`
// below it where one is known.
void ShowConnectionFailed(QWidget* parent, int port);
