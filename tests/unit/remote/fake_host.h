// A host that records what the server asks of it: the program it serves,
// the settings it was told to send, and long operations it answers at once
// (or keeps for the test to answer).
#pragma once

#include <kvcom/kvcom.h>

#include <string>
#include <vector>

#include "kvremote/host.h"

namespace kvtest {

class FakeHost : public kvremote::Host {
public:
    explicit FakeHost(const CDSDATA& program) : program_(program) {}

    kvremote::UnitState unit;
    kvremote::MemoryList memories;
    std::vector<std::string> applied;  // "out3.gain (web)" per setting sent
    std::vector<std::string> operations;
    std::optional<kvcore::Refusal> answer;  // what long operations answer

    kvremote::UnitState Unit() override { return unit; }
    const CDSDATA& Program() override { return program_; }
    kvremote::MemoryList Memories() override { return memories; }
    void Apply(const CDSDATA& program, const std::vector<kvprog::SettingRef>& changed,
               kvremote::Source source) override {
        program_ = program;
        for (const auto& ref : changed)
            applied.push_back(kvprog::PathOf(ref) + " (" + kvremote::SourceName(source) + ")");
    }
    void Recall(int memory, kvremote::Source, kvremote::Done done) override {
        operations.push_back("recall " + std::to_string(memory));
        done(answer);
    }
    void RefreshMemories(kvremote::Done done) override {
        operations.push_back("list");
        done(answer);
    }
    void Store(int memory, const std::string& name, kvremote::Done done) override {
        operations.push_back("store " + std::to_string(memory) + " " + name);
        done(answer);
    }
    void Download(const CDSDATA&, kvremote::Done done) override {
        operations.push_back("download");
        done(answer);
    }

private:
    CDSDATA program_;
};

}  // namespace kvtest
