// What the program says about the link to the unit: the status-bar pane,
// the note when the unit is back, the refusal of a device command while the
// link is closed and the outcome of a Store All cut short. Plain text from
// plain facts; the windows only show it.
#pragma once

#include <string>
#include <vector>

namespace linktext {

// The library's sentence as a clause: "There is no such device." becomes
// "there is no such device".
std::string ReasonClause(const std::string& sentence);

// "COM1 /dev/ttyUSB0 connected", "COM1 /dev/ttyUSB0 not connected: there
// is no such device" (no reason: nothing after "not connected").
std::string PaneText(int port, const std::string& path, bool connected, const std::string& reason);

// "Unit connected on COM1 (/dev/ttyUSB0)".
std::string UnitBackText(int port, const std::string& path);

// A device command refused because the link is closed: what is wrong, why,
// and how to fix it.
std::string NotConnectedText(int port, const std::string& path, const std::string& reason);

// The link went while the user edits: the edits stay on the PC. Short, as
// it stands beside the pane that says why.
std::string EditsStayText();

// A Store All that stopped: "stored 4 of 20 memories; the link was lost at
// memory 16". lost_at is the memory in hand when it stopped, 0 for the
// working program, -1 when it stopped before the first memory.
std::string StoreAllStoppedText(int stored, int total, int lost_at);

// Memory numbers as a list, consecutive runs of three or more shortened:
// "memory 7", "memories 60 and 45", "memories 60 to 41, 38 and 33".
std::string MemoriesText(const std::vector<int>& memories);

// A Store All the user cancelled (it stops before the next image, so every
// memory sent went whole): what the unit holds now. `stored` as sent, 60
// down; total: the used memories of the PC's table. "Store All cancelled
// after 2 of 4 memories: the unit now holds the PC's memories 60 and 45;
// its other memories and its working program are as they were."
std::string StoreAllCancelledText(const std::vector<int>& stored, int total);

}  // namespace linktext
