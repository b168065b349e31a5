// The remote server's request handling on any request: "METHOD TARGET",
// header lines, a blank line, then the body. Whatever comes, it answers
// exactly once with a status it documents, a refused request changes
// nothing, and an accepted change leaves a program the unit can hold.
#include <kvcom/kvcom.h>

#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "kvremote/request.h"

using namespace kvfuzz;

namespace {

class RecordingHost : public kvremote::Host {
public:
    explicit RecordingHost(const CDSDATA& m) : program_(m) {}
    kvremote::UnitState Unit() override {
        kvremote::UnitState u;
        u.connected = true;
        return u;
    }
    const CDSDATA& Program() override { return program_; }
    kvremote::MemoryList Memories() override { return {}; }
    void Apply(const CDSDATA& program, const std::vector<kvprog::SettingRef>&, kvremote::Source) override {
        program_ = program;
        ++applied;
    }
    void Recall(int, kvremote::Source, kvremote::Done done) override { done(std::nullopt); }
    void RefreshMemories(kvremote::Done done) override { done(std::nullopt); }
    void Store(int, const std::string&, kvremote::Done done) override { done(std::nullopt); }
    void Download(const CDSDATA&, kvremote::Done done) override { done(std::nullopt); }
    int applied = 0;

private:
    CDSDATA program_;
};

kvremote::Request Parse(std::string_view text) {
    kvremote::Request r;
    auto line = [&text]() {
        const auto end = text.find('\n');
        std::string_view l = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        return std::string(l);
    };
    const std::string first = line();
    const auto space = first.find(' ');
    r.method = first.substr(0, space);
    const std::string target = space == std::string::npos ? "/" : first.substr(space + 1);
    const auto q = target.find('?');
    r.path = target.substr(0, q);
    if (q != std::string::npos) r.query = target.substr(q + 1);
    r.headers["host"] = "127.0.0.1:8758";
    for (std::string h = line(); !h.empty(); h = line()) {
        const auto colon = h.find(':');
        if (colon == std::string::npos) continue;
        r.headers[h.substr(0, colon)] = h.substr(std::min(colon + 2, h.size()));
    }
    r.body = std::string(text);
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t n) {
    RecordingHost host(BlankModel());
    kvremote::AccessPolicy policy;
    policy.allow_reset = n > 0 && (data[0] & 1);  // both ways
    kvremote::RequestHandler handler(host, policy);
    const std::vector<std::uint8_t> before = Save(host.Program());
    int answers = 0, status = 0;
    handler.Handle(Parse({reinterpret_cast<const char*>(data), n}), [&](kvremote::Response r) {
        ++answers;
        status = r.status;
    });
    Check(answers == 1, "a request was not answered exactly once");
    static constexpr int kStatuses[] = {200, 303, 400, 401, 403, 404, 405, 409, 413, 429, 502, 503};
    Check(std::find(std::begin(kStatuses), std::end(kStatuses), status) != std::end(kStatuses),
          "an undocumented status");
    if (status >= 400) Check(Save(host.Program()) == before, "a refused request changed the program");
    if (host.applied > 0) CheckModel(host.Program());
    return 0;
}
