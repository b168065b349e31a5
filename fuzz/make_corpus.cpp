// Writes the seed corpora of the fuzz targets, every seed made by the
// project's own encoders: the model's image writer, the program-file and
// bank-file encoders and the library's parameter messages as it sends them.
//
//   make_corpus DIR     writes DIR/<target>/<seed>
#include <kvcom/kvcom.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kvfiles/bank_file.h"
#include "kvfiles/program_file.h"
#include "kvprog/program_json.h"
#include "kvproto/channels.h"
#include "kvproto/messages.h"
#include "kvremote/osc_codec.h"
#include "pacing.h"
#include "transport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

fs::path g_root;

void Write(const std::string& target, const std::string& name, const Bytes& b) {
    fs::create_directories(g_root / target);
    std::ofstream(g_root / target / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

void Append(Bytes& to, const Bytes& b) { to.insert(to.end(), b.begin(), b.end()); }

Bytes Save(const CDSDATA& m) {
    Bytes out(KV_IMAGE_MAX);
    out.resize(static_cast<std::size_t>(m.SaveData(out.data())));
    return out;
}

// A program with `filters` EQ filters on the outputs and inputs in turn.
CDSDATA Program(int figuration, bool link, int filters, const char* name, int mem) {
    CDSDATA m;
    m.figuration = static_cast<char>(figuration);
    m.InitData();
    m.link_on = link ? 1 : 0;
    std::snprintf(m.prog_name, sizeof m.prog_name, "%s", name);
    m.mem_num = static_cast<char>(mem);
    m.out_gain[1] = -20;
    m.out_delay[4] = 4800;
    m.ina_delay = 96;
    for (int j = 0; j < filters; ++j) {
        const int owner = j % 4 == 3 ? CHAN_IN_A : j % 6;
        m.cur_chan = owner;
        m.eq_owner[j] = owner;
        int* list = kvcom::EqSlotList(m, owner);
        int s = 0;
        while (list[s] != -1) ++s;
        list[s] = j;
        m.eq_freq[j] = 40 + 7 * j;
        m.eq_gain[j] = 20 + j;
    }
    m.eq_used = filters;
    return m;
}

// Captures what the library writes, without its pauses.
struct Capture : kvcom::Pacing, kvcom::Transport {
    Bytes line;  // the messages as built (the line's inversion undone)
    std::int64_t now = 0;
    std::int64_t NowUs() override { return now; }
    void SleepMs(unsigned ms) override { now += 1000LL * ms; }
    void SpinUs(unsigned us) override { now += us; }
    void Nap() override { now += 1000; }
    bool Write(const std::uint8_t* b, std::size_t n) override {
        for (std::size_t i = 0; i < n; ++i) line.push_back(static_cast<std::uint8_t>(255 - b[i]));
        return true;
    }
};

void ImageSeeds() {
    // Layout of the image target: start offset (2 bytes), bytes short, buffer.
    const Bytes plain = Save(Program(0, false, 0, "PLAIN", 0));
    Bytes seed = {0, 0, 0};
    Append(seed, plain);
    Write("image", "factory", seed);

    seed = {4, 0, 0, 0x50, 0x01, 0x00, 0x00};
    Append(seed, Save(Program(1, true, 6, "LINKED", 0)));
    Write("image", "file_linked", seed);

    seed = {0, 0, 0};
    Append(seed, Save(Program(2, false, 39, "FULL", 7)));
    Write("image", "all_filters", seed);
}

void ReceptionSeeds() {
    // Operations of the reception target (see fuzz_reception.cpp).
    auto raw = [](Bytes& ops, const Bytes& b) {
        for (std::size_t at = 0; at < b.size(); at += 200) {
            const std::size_t n = std::min<std::size_t>(200, b.size() - at);
            ops.push_back(2);
            ops.push_back(static_cast<std::uint8_t>(n - 1));
            ops.insert(ops.end(), b.begin() + static_cast<std::ptrdiff_t>(at),
                       b.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
    };
    const Bytes identity = {0xF0, 0x00, 0x20, 0x18, 0x00, 0x06, 0x02, 0x03, 0x01, 0x06, 0xF7};

    Bytes ops = {0, 1};  // fetch of the working program
    raw(ops, identity);
    raw(ops, Save(Program(1, true, 3, "LIVE", 0)));
    Write("reception", "fetch", ops);

    ops = {0, 3};  // dump: identity, system block, three memories, memory 0
    raw(ops, identity);
    Append(ops, {6, 12, 5, 12, 2, 0, 0, 5, 60, 0, 0, 0, 5, 61, 1, 0, 0, 5, 0, 5, 0, 0});
    Write("reception", "dump", ops);

    ops = {0, 4, 6, 1, 5, 9, 39, 0xFF, 0, 5, 0, 39, 0, 0};  // longer than the accumulation
    Write("reception", "long_dump", ops);

    ops = {0, 5};  // one memory, cut short once, then whole
    Append(ops, {133, 4, 2, 1, 40, 5, 4, 2, 0, 0});
    Write("reception", "memory", ops);
}

void ProgramFileSeeds() {
    auto write = [](const char* name, const CDSDATA& m) {
        Write("program_file", name, kvfiles::EncodeProgramFile(m));
    };
    write("factory", Program(0, false, 0, "", 0));
    write("linked", Program(1, true, 8, "STAGE-L", 0));
    write("many_filters", Program(2, false, 30, "HALL", 0));
}

void ProgramJsonSeeds() {
    auto write = [](const char* name, const CDSDATA& m) {
        const std::string text = kvprog::ExportJson(m);
        Write("program_json", name, Bytes(text.begin(), text.end()));
    };
    write("factory", Program(0, false, 0, "", 0));
    write("linked", Program(1, true, 8, "STAGE-L", 0));
    write("many_filters", Program(2, false, 30, "HALL", 0));
    const std::string sparse = R"({"format": "kalvore-program", "version": 1, "out2": {"gain": -2.4}})";
    Write("program_json", "sparse", Bytes(sparse.begin(), sparse.end()));
}

void BankSeeds() {
    kvfiles::BankTable t = kvfiles::EmptyBankTable();
    Write("bank_file", "empty", kvfiles::EncodeBank(t));
    for (int m : {60, 31, 2, 0}) {
        kvfiles::BankEntry& e = t.entries[m];
        e.image = Save(Program(m % 3, m % 2 == 0, m % 7, ("MEM" + std::to_string(m)).c_str(), m));
        e.name = "MEM" + std::to_string(m);
        e.name.resize(8, ' ');
        e.used = true;
    }
    t.current = 31;
    Write("bank_file", "four_memories", kvfiles::EncodeBank(t));
}

void SimSeeds() {
    // Layout of the simulator target: fault switches, then chunks (length, bytes).
    auto chunks = [](std::uint8_t faults, const Bytes& stream) {
        Bytes seed = {faults};
        for (std::size_t at = 0; at < stream.size(); at += 255) {
            const std::size_t n = std::min<std::size_t>(255, stream.size() - at);
            seed.push_back(static_cast<std::uint8_t>(n));
            seed.insert(seed.end(), stream.begin() + static_cast<std::ptrdiff_t>(at),
                        stream.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
        return seed;
    };
    unsigned char buf[16];
    Bytes requests;
    Append(requests, Bytes(buf, buf + kvcom::message::PutIdentityRequest(buf, 0)));
    Append(requests, Bytes(buf, buf + kvcom::message::PutImageRequest(buf, 0, 0)));
    Append(requests, Bytes(buf, buf + kvcom::message::PutDumpRequest(buf, 0x7F)));
    Write("sim", "requests", chunks(0, requests));
    Write("sim", "requests_faulty", chunks(0x3F, requests));

    // Edits as the library sends them: figuration, link, a filter on Out 3.
    Capture cap;
    kvcom::SetPacing(&cap);
    kvcom::SetTransportOverride(&cap);
    CDSDATA m = Program(1, true, 0, "EDIT", 0);
    m.SendParam(PC_FIGURATION);
    m.SendParam(PC_LINK);
    m.cur_chan = 2;
    m.SetNewPEQ();
    m.eq_gain[m.cur_eq] = 40;
    m.SendParam(PC_OUT_EQ_GAIN);
    m.out_gain[2] = 30;
    m.SendParam(PC_OUT_GAIN);
    m.StoreMEM(5);
    kvcom::SetTransportOverride(nullptr);
    kvcom::SetPacing(nullptr);
    Append(cap.line, Bytes(buf, buf + kvcom::message::PutImageRequest(buf, 0, 0)));
    Write("sim", "edits", chunks(0, cap.line));
}

}  // namespace

// Requests of the remote API as "METHOD TARGET", headers, a blank line and
// the body, and OSC packets of its address space.
void RemoteSeeds() {
    auto text = [](const std::string& t) { return Bytes(t.begin(), t.end()); };
    Write("remote_request", "get_program", text("GET /api/v1/program\n\n"));
    Write("remote_request", "patch", text("PATCH /api/v1/program\ncontent-type: application/json\n\n"
                                          "{\"out3.gain\": -2.4, \"out1.mute\": true, \"ina.delay\": \"1.5ms\"}"));
    Write("remote_request", "put_setting", text("PUT /api/v1/settings/out2.hp\n\n{\"freq\": 80, \"type\": \"L-R 24\"}"));
    Write("remote_request", "mute", text("POST /api/v1/outputs/3/mute?on=1\n\n"));
    Write("remote_request", "token", text("GET /?token=abc\nauthorization: Bearer x\ncookie: kv_token=y\n\n"));
    Write("remote_request", "store", text("POST /api/v1/memories/5/store\n\n{\"name\": \"SHOW\"}"));
    auto osc = [](const std::string& address, const std::vector<kvremote::OscArg>& args) {
        const std::string p = kvremote::EncodeOscMessage(address, args);
        return Bytes(p.begin(), p.end());
    };
    Write("osc_packet", "gain", osc("/kv/out/3/gain", {kvremote::OscArg::Float(-2.4)}));
    Write("osc_packet", "mute", osc("/kv/out/1/mute", {kvremote::OscArg::Int(1)}));
    Write("osc_packet", "query", osc("/kv/in/sum/delay", {}));
    Write("osc_packet", "recall", osc("/kv/memory/recall", {kvremote::OscArg::Int(12)}));
    Bytes bundle = {'#', 'b', 'u', 'n', 'd', 'l', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const Bytes inner = osc("/kv/mute_all", {});
    bundle.insert(bundle.end(), {0, 0, 0, static_cast<std::uint8_t>(inner.size())});
    Append(bundle, inner);
    Write("osc_packet", "bundle", bundle);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    g_root = argv[1];
    ImageSeeds();
    ReceptionSeeds();
    ProgramFileSeeds();
    ProgramJsonSeeds();
    BankSeeds();
    SimSeeds();
    RemoteSeeds();
    return 0;
}
