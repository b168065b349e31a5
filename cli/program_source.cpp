#include "program_source.h"

#include <cctype>
#include <fstream>
#include <string_view>

#include "failure.h"
#include "file_io.h"
#include "kvprog/describe.h"
#include "kvfiles/program_file.h"
#include "kvprog/program_json.h"

namespace kvctl {

namespace {

// Larger than any program a person exports; keeps a wrong file from being read whole.
constexpr std::size_t kJsonFileMax = 1 << 20;

bool EndsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::optional<int> Number(std::string_view text, int lo, int hi) {
    if (text.empty() || text.size() > 2) return std::nullopt;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n < lo || n > hi) return std::nullopt;
    return n;
}

}  // namespace

std::optional<ProgramSpec> ParseProgramSpec(const std::string& text) {
    using Kind = ProgramSpec::Kind;
    if (text == "unit") return ProgramSpec{Kind::Unit, "", std::nullopt};
    if (text.rfind("memory:", 0) == 0) {
        const auto n = Number(std::string_view(text).substr(7), 1, 60);
        if (!n) return std::nullopt;
        return ProgramSpec{Kind::Memory, "", n};
    }
    if (EndsWith(text, ".syx")) return ProgramSpec{Kind::ProgramFile, text, std::nullopt};
    if (EndsWith(text, ".json")) return ProgramSpec{Kind::JsonFile, text, std::nullopt};
    if (EndsWith(text, ".ay")) return ProgramSpec{Kind::BankFile, text, std::nullopt};
    const auto colon = text.rfind(':');
    if (colon != std::string::npos && EndsWith(std::string_view(text).substr(0, colon), ".ay")) {
        const auto n = Number(std::string_view(text).substr(colon + 1), 0, 60);
        if (!n) return std::nullopt;
        return ProgramSpec{Kind::BankFile, text.substr(0, colon), n};
    }
    return std::nullopt;
}

ProgramSpec CheckedProgramSpec(const std::string& text) {
    if (auto spec = ParseProgramSpec(text)) return *spec;
    // A file by another name: a JSON document opens with "{", anything else
    // is read as a program file (which refuses what is none).
    if (std::ifstream in{text, std::ios::binary}) {
        char first = ' ';
        while (in.get(first) && std::isspace(static_cast<unsigned char>(first))) {}
        return ProgramSpec{first == '{' ? ProgramSpec::Kind::JsonFile : ProgramSpec::Kind::ProgramFile, text,
                           std::nullopt};
    }
    throw Failure(kExitUsage, text + ": not a program (" + std::string(kProgramSpecHelp) + ")");
}

CDSDATA LoadProgram(Session& session, const ProgramSpec& spec) {
    using Kind = ProgramSpec::Kind;
    CDSDATA program(session.factory());
    switch (spec.kind) {
    case Kind::ProgramFile: return ReadProgramFile(session, spec.path, session.factory());
    case Kind::JsonFile: {
        const auto bytes = ReadWholeFile(spec.path, kJsonFileMax);
        if (auto refused = kvprog::ImportJson(
                program, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
            Refused(kExitFile, *refused, spec.path + " is refused");
        return program;
    }
    case Kind::BankFile: {
        const int m = spec.entry.value_or(0);
        const auto bank = ReadBankFile(session, spec.path);
        const auto& entry = bank.entries[m];
        if (!entry.used) throw Failure(kExitFile, spec.path + " holds no memory " + std::to_string(m));
        if (auto refused = kvfiles::ReadImage(program, entry.image))
            Refused(kExitFile, *refused, spec.path + ":" + std::to_string(m) + " is refused");
        return program;
    }
    case Kind::Unit: {
        Unit& unit = session.unit();
        unit.FetchWorking();
        return unit.model();
    }
    case Kind::Memory: return session.unit().FetchMemory(*spec.entry);
    }
    return program;
}

}  // namespace kvctl
