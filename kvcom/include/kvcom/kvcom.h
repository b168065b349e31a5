// KVCOM: the link to the Kalvore loudspeaker management processor.
//
// One header for the whole interface of the library: the parameter model
// CDSDATA with its protocol operations, the serial link functions, the
// program's string table, and the process-wide globals (port settings,
// link record, receive log, memory table).
//
// Conventions: operations take their operands from the cursor members
// (cur_chan, cur_slot, cur_eq, xo_side); results are 1 for success and 0
// for failure (the link closed or lost, a write that failed, a reply that
// did not come in time); nothing throws.
#pragma once

#include <atomic>
#include <cstddef>

#if defined(__GNUC__)
#define KVCOM_API __attribute__((visibility("default")))
#else
#define KVCOM_API
#endif

// ---------------------------------------------------------------------------
// Parameter codes (argument of CDSDATA::SendParam). The high byte and the low
// four bits of a code are the two code bytes of the parameter message.
inline constexpr int PC_LINK = 0x0200;
inline constexpr int PC_FIGURATION = 0x1101;  // goes out as 0x1201 when figuration != 0
inline constexpr int PC_OUT_EQ_ASSIGN = 0x1A01;
inline constexpr int PC_IN_EQ_ASSIGN = 0x1AA1;
inline constexpr int PC_INA_DELAY = 0x20A0;
inline constexpr int PC_INB_DELAY = 0x20B0;
inline constexpr int PC_SUM_DELAY = 0x20C0;
inline constexpr int PC_IN_EQ_TYPE = 0x2A00;
inline constexpr int PC_IN_EQ_FREQ = 0x2B00;
inline constexpr int PC_IN_EQ_GAIN = 0x2C00;
inline constexpr int PC_IN_EQ_BW = 0x2D00;
inline constexpr int PC_OUT_SOURCE = 0x6100;
inline constexpr int PC_OUT_GAIN = 0x6200;
inline constexpr int PC_OUT_LIMIT = 0x6300;
inline constexpr int PC_OUT_DELAY = 0x6400;
inline constexpr int PC_OUT_POLARITY = 0x6600;
inline constexpr int PC_XO_HP_TYPE = 0x6700;
inline constexpr int PC_XO_HP_FREQ = 0x6800;
inline constexpr int PC_XO_LP_TYPE = 0x6900;
inline constexpr int PC_XO_LP_FREQ = 0x6A00;
inline constexpr int PC_OUT_EQ_TYPE = 0x6C00;
inline constexpr int PC_OUT_EQ_FREQ = 0x6D00;
inline constexpr int PC_OUT_EQ_GAIN = 0x6E00;
inline constexpr int PC_OUT_EQ_BW = 0x6F00;
inline constexpr int PC_OUT_MUTE = 0x7000;

// Channel codes of cur_chan and eq_owner besides the outputs 0..5.
inline constexpr int CHAN_IN_A = 0x20;
inline constexpr int CHAN_IN_B = 0x21;

// Sizes of the model and of the memory table.
inline constexpr int KV_OUTPUTS = 6;
inline constexpr int KV_POOL_ROWS = 40;  // rows 0..38 assignable, 39 the default row
inline constexpr int KV_DEFAULT_ROW = 39;
inline constexpr int KV_MEMORIES = 61;      // 0 = working program, 1..60 device memories
inline constexpr int KV_IMAGE_MAX = 5000;   // one row of prog_save
inline constexpr int KV_MAX_DELAY = 30500;  // delays in steps of 1/48 ms

// ---------------------------------------------------------------------------
// The parameter model of one processor, with the editing cursors.
class KVCOM_API CDSDATA {
public:
    int ina_eq_freq[40];
    int ina_eq_bw[40];
    int ina_eq_gain[40];
    int ina_eq_type[40];
    int ina_eq_slot[40];
    int ina_delay;
    int inb_eq_freq[40];
    int inb_eq_bw[40];
    int inb_eq_gain[40];
    int inb_eq_type[40];
    int inb_eq_slot[40];
    int inb_delay;
    int sum_delay;
    int out_mute[6];
    int out_gain[6];
    int out_polarity[6];
    int out_limit[6];
    int out_delay[6];
    int delay_unit;
    char out_source[6];
    int xo_side;
    int xo_freq[6][2];
    int xo_type[6][2];
    int cur_chan;
    int eq_freq[40];
    int eq_bw[40];
    int eq_gain[40];
    int eq_type[40];
    int eq_owner[40];
    int out_eq_slot[6][40];
    int eq_dsp[40];
    int eq_link[40];
    int cur_eq;
    int eq_used;
    int cur_slot;
    int link_on;
    char figuration;
    char prog_name[9];
    char out_name[6];
    char mem_num;
    unsigned char msg_buf[100];

    // Resets the memory table, then the whole model (link off, Mono, memory 1).
    CDSDATA();
    CDSDATA(const CDSDATA& other);
    CDSDATA& operator=(const CDSDATA& other);
    virtual ~CDSDATA();

    // Model and DSP load (no I/O).
    void InitData();
    int CalDSP1() const;
    int CalDSP2() const;
    static unsigned char ByteHig(unsigned char b);
    static unsigned char ByteLow(unsigned char b);

    // Program image (no I/O).
    int SaveData(unsigned char* out) const;
    void GetData(const unsigned char* buf, int len, int start);

    // Parameter messages. The caller has written the new value into the
    // model; the result tells whether the unit got it: 1 when every message
    // went out, 0 when the link was closed (nothing is sent, no pause) or
    // was lost on the way. The model keeps the value either way.
    int SendParam(int code);
    int SendOutSrce(unsigned char n);
    // The writer: 1 when the whole message went out; 0 when the link is
    // closed or the write failed or stopped part way (which closes the link
    // as a hang-up does: npTTYInfo->connected drops, LinkLastError says why).
    int SendMIDI(const unsigned char* bytes, int len, int unused);

    // EQ filter pool and stereo link. The model is edited whether or not
    // the unit can be reached; the result is 0 when a message did not reach
    // it (see SendParam), else 1.
    int SetNewPEQ();
    int DeletePEQ();
    int SetNewInAPEQ();
    int DeleteInAPEQ();
    int SetNewInBPEQ();
    int DeleteInBPEQ();
    int SetLinkVal();
    int GetLinkChan() const;

    // Memory operations (block the calling thread for the device's pacing).
    // Each returns 0 on a closed link at once (nothing sent, no pause), when
    // a message does not go out, when the link is lost on the way (a wait
    // for a reply then ends within a few milliseconds) or when a reply does
    // not come in time. A fetch that fails leaves the model as it was; a
    // MemRefresh that fails leaves the memory table as it was (it is
    // replaced only by a complete dump). StoreMEMCur and StoreMEM refuse a
    // memory number outside 0..60.
    int RecallToPC();
    int StoreFromPC();
    int MemRefresh();
    int MEMRECALLFROMMCU(unsigned char n);
    // Reads memory n (0: the working program) into this model without
    // recalling it: the unit keeps playing what it plays. 1 when the image
    // came; a memory that holds nothing gets no reply and gives 0.
    int FetchMemory(unsigned char n);
    int StoreMEMCur(unsigned char ignored);
    int StoreMEM(unsigned char n);
    int SendMEMStoreAll();
};

// ---------------------------------------------------------------------------
// The link record: one per process, created by CreateTTYInfo.
struct TTYInfo {
    int port_handle;                             // file descriptor of the open port, -1 when closed
    unsigned char port_number;                   // COM port number, from rs232_port on every open
    std::atomic<int> connected;                  // 1 while open; the reader loops while it is set
    unsigned char byte_size;                     // 8
    unsigned char flow_control;                  // bit 0 DTR/DSR, bit 1 RTS/CTS, bit 2 XON/XOFF
    unsigned char parity;                        // 0 = none
    unsigned char stop_bits;                     // 0 = one stop bit
    unsigned int baud_rate;                      // 19200
    unsigned long reader_thread;                 // the reader's thread handle, 0 when none
    std::atomic<unsigned int> reader_thread_id;  // non-zero while the reader runs
    int wake_read;                               // wake-up pipe that releases the reader's poll
    int wake_write;
};

KVCOM_API int CreateTTYInfo();
KVCOM_API int OpenConnection();
KVCOM_API int SetupConnection();
KVCOM_API int CloseConnection();
KVCOM_API int DestroyTTYInfo();
KVCOM_API int ReadCommBlock(unsigned char* buf, unsigned int max_len);
// Inverts and writes at most 200 bytes: 1 when they all went out, 0 when
// the link is closed or the write failed (as SendMIDI).
KVCOM_API int WriteCommBlock(const unsigned char* bytes, unsigned int len);
KVCOM_API unsigned int CommWatchProc(TTYInfo* info);

// Why the link last failed, as an errno code; 0 while nothing failed.
// OpenConnection sets it on every call: 0 when the port opened, otherwise
// for example ENOENT (no such device), EACCES (no permission), EBUSY (in use
// by another program), ENOTTY (not a serial port), EINVAL (line settings
// refused) or EBADF (CreateTTYInfo was not called). An open link that is
// lost sets it too: EIO when the device hangs up, or the error of the read or
// write that found it gone (ETIMEDOUT: the line took nothing for two
// seconds). Closing the link leaves it as it is. Any thread.
KVCOM_API int LinkLastError();
// 1 while the link is open and every operation may use it, else 0: the same
// test each operation makes before it sends. Any thread.
KVCOM_API int LinkConnected();
// A short English sentence for a LinkLastError code ("" for 0). The text is
// static and never changes, so any thread may keep it.
KVCOM_API const char* LinkErrorMessage(int code);
// 1 when the last fetch, list or recall failed because a program image
// arrived with a checksum that does not match its bytes (nothing of it was
// taken and the link stays up; trying again may well succeed), else 0. The
// next of these operations resets it.
KVCOM_API int LastReplyDamaged();

// Progress of CDSDATA::SendMEMStoreAll: called just before each image goes
// out, with its memory number (the used memories from 60 down, then 0 for
// the working program). Set it on the thread that runs SendMEMStoreAll;
// nullptr for none.
using MemStoreAllProgress = void (*)(int memory, void* context);
KVCOM_API void SetMemStoreAllProgress(MemStoreAllProgress callback, void* context);

// Traffic tap: sees every message the link writes and every message it
// receives, for a protocol monitor. `bytes` is one whole message as the
// protocol defines it (before the line's inversion), valid only during the
// call; `time_us` is the monotonic clock (CLOCK_MONOTONIC) in microseconds.
// A written message is reported on the writing thread just before it goes to
// the line; a received one on the reader thread once its last byte is in,
// framed as the line frames it (F0 .. F7, C0 p) whatever an operation waits
// for. Stray bytes between messages come as one record; a message cut short
// by the next one comes as far as it got.
// The tap runs on the link's own threads: it must return at once, must not
// block (hand the bytes over and return) and must not call into the link.
// SetTrafficTap may be called from any thread while the link runs, but not
// from inside the tap; when it returns, the previous tap is not running and
// is never called again, so its context may go. nullptr for none: then each
// message costs the link one relaxed atomic load.
enum TrafficDirection : int { TRAFFIC_SENT = 0, TRAFFIC_RECEIVED = 1 };
using TrafficTap = void (*)(int direction, const unsigned char* bytes, int len, long long time_us, void* context);
KVCOM_API void SetTrafficTap(TrafficTap tap, void* context);
// Progress of CDSDATA::MemRefresh: called on the reader thread each time a
// memory (1 to 60) of the unit's list has come in whole, with the number of
// memories received so far in this list. It must return quickly and touch
// nothing of the library. nullptr for none; once this returns, the callback
// set before is no longer called.
using MemRefreshProgress = void (*)(int received, void* context);
KVCOM_API void SetMemRefreshProgress(MemRefreshProgress callback, void* context);
// Lets the caller stop CDSDATA::SendMEMStoreAll and CDSDATA::MemRefresh at a
// safe point: `check` is called on the operation's thread, in SendMEMStoreAll
// before each image (after the opening messages, so every image that went out
// went out whole) and in MemRefresh while it waits for the unit's list (every
// few milliseconds). When it returns non-zero the operation stops there and
// returns 0: a Store All has sent what the progress callback named before,
// a list leaves the memory table as it was (the unit may go on sending it
// for a while; the reader lets it pass). An operation that is not stopped
// sends the same messages with the same pauses as without a check. Set it on
// the thread that runs the operation; nullptr for none.
using MemCancelCheck = int (*)(void* context);
KVCOM_API void SetMemCancelCheck(MemCancelCheck check, void* context);

// The version of the loaded library, "major.minor" (for example "2.30"):
// the library a program runs with, which may be newer than the header it was
// built against. Static text; any thread.
KVCOM_API const char* KvcomVersion();

// The device path of COM port n: $KVCOM_COM<n> when set (tests and
// scripts), else the device set with SetPortDevicePath, else /dev/ttyS<n-1>.
// Writes at most out_len bytes including the NUL; returns the full length.
KVCOM_API int PortDevicePath(int port, char* out, int out_len);
// Names the device behind COM port n (1..255), for example a stable
// /dev/serial/by-id/ name; nullptr or "" goes back to /dev/ttyS<n-1>. Takes
// effect at the next OpenConnection. Returns 1, or 0 (nothing changed) for a
// port outside 1..255 or a path of 4096 bytes or more. Any thread.
KVCOM_API int SetPortDevicePath(int port, const char* path);

// Asks whether the unit answers on the serial device at path: opens it as
// the link would (exclusively, 19200 8N1), sends the identity request, waits
// up to timeout_ms for the identity reply and closes it again. The open link
// and LinkLastError are left alone; a port that another program (or the
// link) holds is refused, never shared. Returns 1 when the unit answered, 0
// when nothing fitting came in time, -errno when the device could not be
// opened or set up (-EBUSY held elsewhere, -EACCES, -ENOENT, -ENOTTY...).
KVCOM_API int ProbeUnit(const char* path, int timeout_ms);

// The calling program's string table, read on its behalf by TalsenLoadRCStr.
using TalsenStringLookup = const char* (*)(int id);
KVCOM_API void TalsenRegisterRCStr(TalsenStringLookup lookup);
// Entry id of the program's string table, in one static 512-character buffer
// that every call overwrites ("" for an unknown id).
KVCOM_API char* TalsenLoadRCStr(int id);

// ---------------------------------------------------------------------------
// Exported globals.
extern KVCOM_API int rs232_port;  // COM port number; its low byte is used
extern KVCOM_API int rs232_rate;  // exported, not consulted: the line runs at 19200
extern KVCOM_API TTYInfo* npTTYInfo;
extern KVCOM_API char strRev[10200];  // hex log of received chunks
extern KVCOM_API char strMem[10200];
extern KVCOM_API int revnum;
extern KVCOM_API int irevneweqdata;
extern KVCOM_API int bisflter1;

// Memory table, indexed by memory number (0 = working program).
extern KVCOM_API unsigned char prog_save[61][5000];
extern KVCOM_API int prog_len[61];
extern KVCOM_API char data_name[61][9];
extern KVCOM_API int data_memoryb[61];
