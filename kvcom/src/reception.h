// Reception state shared by the GUI thread (which arms it and waits) and the
// reader thread (which files what arrives), and the waits built on it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include <kvcom/kvcom.h>

namespace kvcom {

// What the reader expects next.
enum RevMode : int {
    REV_IDLE = 0,
    REV_EDIT_ACK = 16,    // identity reply before a fetch of the working program
    REV_EDIT_IMAGE = 17,  // the working program's image
    REV_DUMP_ACK = 32,    // identity reply before the memory dump
    REV_DUMP = 33,        // system block, then one image per memory, memory 0 last
    REV_MEM_IMAGE = 48,   // the image of one memory
};

// Non-zero while a reply is outstanding or being received.
extern std::atomic<int> rev_busy;
extern std::atomic<int> rev_mode;
// Counts every time the reader clears rev_busy, and every loss of the link
// (after `connected` dropped), so waits sleeping on it wake for both. An
// operation that sends a request and only then raises rev_busy reads it
// before sending, so a reply that completes in between is not mistaken for
// a silent device.
extern std::atomic<unsigned> rev_done;
// Set by the reader when a program image arrived with a checksum that does
// not match its bytes; the image was not taken and the wait ended. Cleared
// when an operation arms the reader.
extern std::atomic<bool> rev_damaged;
// Device number put in requests and expected in the identity reply; always 0.
extern unsigned char rev_dev;
// The library's receive model: images arriving from the device decode here.
extern CDSDATA rev_data;

// Handles one chunk of received bytes exactly as the reader thread does
// (log line, accumulation, dispatch on rev_mode). Reader thread only, or a
// test driving the state machine without a port.
void HandleChunk(const std::uint8_t* data, std::size_t n);
// Asks the reader to start a fresh accumulation with its next chunk (safe
// from the GUI thread; rev_mode and rev_busy are left alone). A change of
// rev_mode between two chunks does the same.
void ResetAccumulation();

// Polls until rev_busy is 0, timeout_ms have passed or the link is lost.
// Returns 0 when the reply is complete and the link still up, else non-zero.
int WaitReply(int timeout_ms);
// Raises rev_busy after a request went out and waits as WaitReply, but
// counts as complete any reader transition since `done_before` (rev_done
// read before the request was sent). Returns 0 when the reply is complete
// and the link still up. `stop`, when given, is asked between naps and ends
// the wait unfinished once it holds.
int RaiseAndWaitReply(int timeout_ms, unsigned done_before, bool (*stop)() = nullptr);
// Busy-waits us microseconds.
void DelayUs(unsigned us);

// The pauses of an operation that sends: false at once, without pausing,
// when the link is down; else the pause, then whether the link is still up.
// PauseMs ends early when the link goes down meanwhile; PauseUs is an exact
// gap (DelayUs) and always runs whole.
bool PauseMs(unsigned ms);
bool PauseUs(unsigned us);

}  // namespace kvcom
