// Single settings moved between programs: taken into the PC's program as
// the pages would write them, or sent to the unit as the ordinary parameter
// messages the pages send (through the device thread), so a small
// correction needs no Download, which mutes every output.
#pragma once

#include <QStringList>
#include <vector>

#include <kvprog/settings.h>

#include "kvdevice/sends.h"

class CDSDATA;

struct TransferOutcome {
    int done = 0;         // settings taken, or messages queued
    QStringList refused;  // "out3.eq2: ..." for each setting left out
};

// Writes each setting's value in `from` into `to`, in the order given, as
// the pages write it (linked partners follow; a new configuration or link
// resets the program first, so put those first). A setting that cannot be
// written is left out and named in `refused`.
TransferOutcome TakeSettings(CDSDATA& to, const CDSDATA& from, const std::vector<kvprog::SettingRef>& refs);

// Queues the parameter messages that carry each setting of `from` to the
// unit on the device thread, with `from`'s link deciding the repeats.
// Settings that no parameter message carries (names, a whole EQ filter)
// are named in `refused`. Returns the number of messages queued in `done`.
TransferOutcome QueueSettingSends(const CDSDATA& from, const std::vector<kvprog::SettingRef>& refs);

// The keys of the messages that carry each setting of `program` to the
// unit, in sending order (what an undo of a Take sends again).
std::vector<device::SendKey> SendKeysFor(const CDSDATA& program, const std::vector<kvprog::SettingRef>& refs);

// Whether the settings change the configuration or the link: on the unit
// that resets every setting to its factory value.
bool ResetsTheProgram(const std::vector<kvprog::SettingRef>& refs);
