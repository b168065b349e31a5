// Why a serial port could not be opened, told so the user can act on it
// (the diagnosis and its sentence are kv_ports', the same kvctl prints), and
// the one message the program gives when the link fails.
#pragma once

#include <QString>

#include <kvports/port_problem.h>

class QWidget;

// The device of `port` with the reason the library kept from the last
// OpenConnection (call it right after the open failed).
kvports::OpenFailure ProbePort(int port);

// A sentence on what is wrong and what to do, or empty when there is
// nothing to tell.
QString PortProblemText(const kvports::OpenFailure& failure);

// "RS232 Connection failed.\r\nPlease select another port." with caption
// "KALVORE" and the error icon, over parent, with the reason for `port`
// below it where one is known.
void ShowConnectionFailed(QWidget* parent, int port);
