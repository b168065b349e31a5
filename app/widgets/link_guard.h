// The state of the link as the windows need it: whether the unit can be
// reached now, and the one message a device command gives when it cannot.
#pragma once

#include <QString>

class QWidget;

// The COM port in use, its device path and whether the link is open, with
// the library's reason when it is not.
struct LinkState {
    int port = 0;
    QString path;
    bool connected = false;
    QString reason;  // empty while connected or when nothing failed yet
};

LinkState CurrentLinkState();

// True while the link to the unit is open.
bool UnitConnected();

// What a device command says when the link is closed: not connected, why,
// and how to fix it (Config > RS232).
QString NotConnectedMessage();

// Why a device operation stopped part way, for its message: the link that
// was lost and the library's reason, or that the unit did not answer.
QString WhyOperationStopped();
// A second line for a failed fetch, list or recall whose reply arrived
// damaged; empty otherwise.
QString DamageNote();

// Before a device command: true when the link is open; otherwise says
// NotConnectedMessage in a box over parent and returns false, so the
// command changes nothing.
bool CheckUnitConnected(QWidget* parent);
