// Test helper for windows that send: edits go to the device thread, which
// sends them a moment later.
#pragma once

namespace kvtest {

// From here on the test's thread waits for each send it queues, so the line
// can be read right after an edit and every value goes out (none is
// replaced by a newer one). Call once, from initTestCase().
void WaitForEachSend();

}  // namespace kvtest
