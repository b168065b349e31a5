// The simulated processor: a working program, 60 named memories and the
// current memory number, driven by the messages the PC sends. Pure: plain
// (already un-inverted) bytes in, plain reply bytes out; no I/O, no clock.
#pragma once

#include <kvcom/kvcom.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kvfiles/bank_file.h"
#include "stream_parser.h"

namespace kvsim {

// Test switches that make the device misbehave as a real line sometimes does.
struct Faults {
    int drop_replies = 0;            // the next n replies are not sent
    bool wrong_device_byte = false;  // identity replies name device 0x05
    bool cut_dump = false;           // dumps stop before the working program
    int corrupt_replies = 0;         // the next n replies have one byte changed
};

// One memory: its program image (byte 7 = its number), name, used flag.
using Memory = kvfiles::BankEntry;

class Device {
public:
    static constexpr int kMemories = 60;

    Device();

    // Takes the bytes the PC sent (un-inverted) and returns the device's
    // replies to every message they complete. Messages may be split anywhere
    // across calls; bytes that make no sense are ignored (and reported to
    // the observer).
    Bytes Feed(const std::uint8_t* plain, std::size_t n);

    // The working program, as the PC would rebuild it from its image.
    const CDSDATA& Working() const { return working_; }
    // Memory m (1..60); any other m gives an unused entry.
    const Memory& MemoryAt(int m) const;
    int CurrentMemory() const { return current_; }
    Faults& faults() { return faults_; }

    // The image of the working program as the device sends it (memory 0).
    Bytes WorkingImage() const;
    // Replaces the working program (its pool is rebuilt as the device holds it).
    void SetWorking(const CDSDATA& program);
    // Stores `program` into memory m (1..60) under `name`, as a store does.
    void StoreMemory(int m, const CDSDATA& program, const std::string& name);

    // The whole state as a memory table: entries 1..60 the memories, entry
    // 0 the working program's image, `current` the current memory.
    kvfiles::BankTable ExportState() const;
    // Loads a memory table: used entries 1..60 become the memories, a used
    // entry 0 the working program; the current memory comes along.
    void ImportState(const kvfiles::BankTable& table);
    // Bumped whenever a memory or the current memory number changes.
    unsigned StateRevision() const { return revision_; }

    // Sees every message received (note empty) and every input ignored
    // (note says why), in order.
    using Observer = std::function<void(const Bytes& bytes, const std::string& note)>;
    void SetObserver(Observer observer) { observer_ = std::move(observer); }

private:
    void OnMessage(const Bytes& m, Bytes& reply);
    void OnSysEx(const Bytes& m, Bytes& reply);
    void OnParameter(const Bytes& m);
    void OnDeviceParameter(int hi, int lo, int value);
    void OnInputParameter(int selector, int hi, int lo, const int d[3]);
    void OnOutputParameter(int out, int hi, int lo, const int d[3]);
    void OnImage(const Bytes& m);
    void RecallMemory(int m);
    void StoreWorking(int m);
    void ResetToFactory(int figuration);

    // EQ filters by channel and slot; the fields in the order of their codes
    // (input 0x2A..0x2D, output 0x6C..0x6F).
    enum class EqField { kType, kFreq, kGain, kWidth };
    void AssignFilter(int channel);
    void SetFilterValue(int channel, int slot, EqField field, int value);
    void ReleaseFilter(int channel, int slot);
    void Rebuild();

    void Reply(Bytes& out, Bytes message);
    void Note(const Bytes& bytes, const std::string& why);

    CDSDATA working_;
    Memory memories_[kMemories + 1];
    int current_ = 1;
    Faults faults_;
    unsigned revision_ = 0;

    StreamParser parser_;
    Observer observer_;
    bool bulk_store_ = false;     // after the prelude, until memory 0 arrives
    Bytes last_parameter_;        // to spot the second copy of a link repeat
    bool after_eq_gain_ = false;  // the next 1A 01 is the gain's trailer
    std::uint8_t name_codes_[8] = {};
    bool name_received_ = false;
};

}  // namespace kvsim
