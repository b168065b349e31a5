// The parameter model: factory values per output configuration, DSP load
// counts, and the memory table that the model's constructor resets.
#include <kvcom/kvcom.h>

#include <cstring>

#include "memory_table.h"

unsigned char prog_save[61][5000];
int prog_len[61];
char data_name[61][9];
int data_memoryb[61];

namespace kvcom {

void ClearMemoryEntry(int m) {
    data_memoryb[m] = 0;
    std::memset(data_name[m], 0, sizeof data_name[m]);
    std::strcpy(data_name[m], "<None>");
    std::memset(prog_save[m], 0, sizeof prog_save[m]);
    prog_save[m][0] = 0xF0;
    prog_save[m][1] = 0xF7;
    prog_len[m] = 2;
}

void ResetMemoryTable() {
    std::memset(prog_save, 0, sizeof prog_save);
    std::memset(prog_len, 0, sizeof prog_len);
    std::memset(data_name, 0, sizeof data_name);
    data_memoryb[0] = 0;
    std::strcpy(data_name[0], "UNSAVED");
    for (int m = 1; m < KV_MEMORIES; ++m) ClearMemoryEntry(m);
}

void ClearAllMemoryEntries() {
    for (int m = 0; m < KV_MEMORIES; ++m) ClearMemoryEntry(m);
}

void ClearTable(MemoryTable& t) {
    std::memset(t.image, 0, sizeof t.image);
    std::memset(t.name, 0, sizeof t.name);
    for (int m = 0; m < KV_MEMORIES; ++m) {
        t.used[m] = 0;
        std::strcpy(t.name[m], "<None>");
        t.image[m][0] = 0xF0;
        t.image[m][1] = 0xF7;
        t.length[m] = 2;
    }
    t.current = -1;
}

static_assert(sizeof(MemoryTable::image) == sizeof prog_save && sizeof(MemoryTable::length) == sizeof prog_len &&
                  sizeof(MemoryTable::name) == sizeof data_name && sizeof(MemoryTable::used) == sizeof data_memoryb,
              "a staged table has the exported table's shape");

void CommitTable(const MemoryTable& t) {
    std::memcpy(prog_save, t.image, sizeof prog_save);
    std::memcpy(prog_len, t.length, sizeof prog_len);
    std::memcpy(data_name, t.name, sizeof data_name);
    std::memcpy(data_memoryb, t.used, sizeof data_memoryb);
}

}  // namespace kvcom

namespace {

struct FactoryLayout {
    char source[6];
    char name[6];
    int xo[6][2];
};

// Per configuration: Mono, 2 Channel 3 Way, 3 Channel 2 Way.
constexpr FactoryLayout kFactory[3] = {
    {{0, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 4, 5}, {{0, 34}, {34, 67}, {67, 100}, {100, 134}, {134, 167}, {167, 201}}},
    {{0, 1, 0, 1, 0, 1}, {6, 9, 7, 10, 8, 11}, {{2, 54}, {2, 54}, {54, 120}, {54, 120}, {120, 201}, {120, 201}}},
    {{0, 2, 1, 0, 2, 1}, {6, 12, 9, 8, 14, 11}, {{0, 120}, {0, 120}, {0, 120}, {120, 201}, {120, 201}, {120, 201}}},
};

// Load units of one crossover side: nothing while it is switched out.
int CrossoverUnits(int type, bool off) {
    if (off) return 0;
    return type >= 8 ? 4 : 2;
}

}  // namespace

CDSDATA::CDSDATA() {
    kvcom::ResetMemoryTable();
    link_on = 0;
    figuration = 0;
    mem_num = 1;
    xo_side = 0;
    std::memset(msg_buf, 0, sizeof msg_buf);
    InitData();
}

CDSDATA::CDSDATA(const CDSDATA& other) = default;
CDSDATA& CDSDATA::operator=(const CDSDATA& other) = default;
CDSDATA::~CDSDATA() = default;

void CDSDATA::InitData() {
    cur_chan = 0;
    std::memset(prog_name, 0, sizeof prog_name);
    std::strcpy(prog_name, "UNUSED");

    const int fig = (figuration >= 0 && figuration <= 2) ? figuration : 0;
    const FactoryLayout& f = kFactory[fig];
    for (int n = 0; n < KV_OUTPUTS; ++n) {
        out_name[n] = f.name[n];
        out_source[n] = f.source[n];
        out_mute[n] = 1;
        out_gain[n] = 0;
        out_polarity[n] = 0;
        out_delay[n] = 0;
        out_limit[n] = 20;
        xo_type[n][0] = 7;
        xo_type[n][1] = 7;
        xo_freq[n][0] = f.xo[n][0];
        xo_freq[n][1] = f.xo[n][1];
    }

    eq_used = 0;
    cur_eq = -1;
    cur_slot = -1;
    ina_delay = inb_delay = sum_delay = 0;
    delay_unit = 0;

    for (int k = 0; k < KV_POOL_ROWS; ++k) {
        ina_eq_freq[k] = inb_eq_freq[k] = 120;
        ina_eq_bw[k] = inb_eq_bw[k] = 5;
        ina_eq_gain[k] = inb_eq_gain[k] = 30;
        ina_eq_type[k] = inb_eq_type[k] = 2;
        ina_eq_slot[k] = inb_eq_slot[k] = -1;
        eq_freq[k] = 120;
        eq_bw[k] = 5;
        eq_gain[k] = 30;
        eq_type[k] = 2;
        eq_owner[k] = -1;
        eq_dsp[k] = -1;
        eq_link[k] = -1;
        for (int n = 0; n < KV_OUTPUTS; ++n) out_eq_slot[n][k] = -1;
    }
}

int CDSDATA::CalDSP1() const {
    int units = 0;
    for (int n = 0; n < 2; ++n) {
        units += CrossoverUnits(xo_type[n][0], xo_freq[n][0] == 0);
        units += CrossoverUnits(xo_type[n][1], xo_freq[n][1] == 201);
    }
    for (int k = 0; k < KV_POOL_ROWS; ++k)
        if (eq_dsp[k] == 0) ++units;
    return units;
}

int CDSDATA::CalDSP2() const {
    int units = 0;
    for (int n = 2; n < KV_OUTPUTS; ++n) {
        units += CrossoverUnits(xo_type[n][0], xo_freq[n][0] == 0);
        units += CrossoverUnits(xo_type[n][1], xo_freq[n][1] == 201);
    }
    for (int k = 0; k < KV_POOL_ROWS; ++k)
        if (eq_dsp[k] == 1) ++units;
    return units;
}

unsigned char CDSDATA::ByteHig(unsigned char b) { return (b >> 4) & 0x0F; }
unsigned char CDSDATA::ByteLow(unsigned char b) { return b & 0x0F; }
