// kvctl response: the system's response from a program, computed from the
// nominal shapes of its filter types (nothing is measured on the unit):
// level, phase and group delay of outputs and of their sum.
#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>
#include <set>

#include "commands.h"
#include "failure.h"
#include "kvresponse/channel_transfer.h"
#include "kvresponse/response_table.h"
#include "kvresponse/system_response.h"
#include "program_source.h"

namespace kvctl {

namespace {

using json = nlohmann::ordered_json;
namespace resp = kvresponse;

constexpr int kDefaultPoints = 200;
constexpr int kMaxPoints = 100000;

// "1,3,5" -> {0, 2, 4}: outputs 1 to 6, each once.
std::vector<int> ParseOutputs(const std::string& text) {
    std::vector<int> outputs;
    std::set<int> seen;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        const std::size_t end = std::min(text.find(',', begin), text.size());
        const std::string item = text.substr(begin, end - begin);
        if (item.size() != 1 || item[0] < '1' || item[0] > '6')
            throw Failure(kExitUsage, "--outputs " + text + ": '" + item + "' is not an output 1 to 6");
        const int n = item[0] - '1';
        if (!seen.insert(n).second) throw Failure(kExitUsage, "--outputs " + text + ": output " + item + " twice");
        outputs.push_back(n);
        begin = end + 1;
    }
    return outputs;
}

json Values(const std::vector<double>& values, int decimals) {
    json list = json::array();
    for (double v : values) list.push_back(std::isfinite(v) ? json(resp::Rounded(v, decimals)) : json(nullptr));
    return list;
}

json CurveJson(const resp::Curve& c) {
    return {{"db", Values(c.db, resp::kDbDecimals)},
            {"deg", Values(c.deg, resp::kDegDecimals)},
            {"gd_ms", Values(c.gd_ms, resp::kMsDecimals)}};
}

// One table of the text form: a quantity of every curve per frequency.
std::string TextTable(const std::string& title, const std::vector<double>& hz,
                      const std::vector<std::pair<std::string, const std::vector<double>*>>& columns, int decimals) {
    auto cell = [](const std::string& text) {
        return std::string(text.size() < 10 ? 10 - text.size() : 1, ' ') + text;
    };
    std::string out = title + "\n" + cell("Hz");
    for (const auto& [name, values] : columns) out += cell(name);
    out += '\n';
    for (std::size_t i = 0; i < hz.size(); ++i) {
        out += cell(resp::FixedText(hz[i], 1));
        for (const auto& [name, values] : columns) {
            const double v = (*values)[i];
            out += cell(std::isinf(v) && v < 0 ? "muted" : std::isfinite(v) ? resp::FixedText(v, decimals) : "-");
        }
        out += '\n';
    }
    return out;
}

std::string Text(const resp::SystemResponse& r, const resp::SystemCurves& c, const std::vector<int>& outputs) {
    std::vector<std::pair<std::string, const std::vector<double>*>> db, deg, gd;
    for (int n : outputs) {
        const std::string name = "Out " + std::to_string(n + 1);
        db.emplace_back(name, &c.outputs[n].db);
        deg.emplace_back(name, &c.outputs[n].deg);
        gd.emplace_back(name, &c.outputs[n].gd_ms);
    }
    db.emplace_back("Sum", &c.sums[0].db);
    deg.emplace_back("Sum", &c.sums[0].deg);
    gd.emplace_back("Sum", &c.sums[0].gd_ms);
    return "Sum: " + resp::SumTitle(outputs) + "\n\n" + TextTable("Level (dB)", r.hz, db, 2) + "\n" +
           TextTable("Phase (degrees)", r.hz, deg, 1) + "\n" + TextTable("Group delay (ms)", r.hz, gd, 3);
}

}  // namespace

void AddResponseCommand(CLI::App& app, Session& session) {
    auto* cmd = app.add_subcommand(
        "response", "The level, phase and group delay of outputs and their sum, from the nominal filter shapes");
    auto source = std::make_shared<std::string>("unit");
    auto outputs_text = std::make_shared<std::string>();
    auto points = std::make_shared<int>(kDefaultPoints);
    auto csv = std::make_shared<bool>(false);
    cmd->add_option("SOURCE", *source, std::string(kProgramSpecHelp) + "; default: unit");
    cmd->add_option("--outputs", *outputs_text,
                    "The outputs to show and sum, as 1,3,5 (default: those fed by In A, or by the first input that "
                    "feeds any)");
    cmd->add_option("--points", *points, "Frequencies from 10 Hz to 20 kHz, evenly spaced on a log axis (default 200)")
        ->check(CLI::Range(2, kMaxPoints));
    cmd->add_flag("--csv", *csv, "Print comma-separated values: hz, then db, deg and gd_ms of each output and the sum");
    cmd->callback([&session, source, outputs_text, points, csv] {
        if (*csv && session.options().json) throw Failure(kExitUsage, "--csv and --json: choose one");
        // What is typed is checked before the line is touched.
        const ProgramSpec spec = CheckedProgramSpec(*source);
        std::vector<int> outputs;
        if (!outputs_text->empty()) outputs = ParseOutputs(*outputs_text);
        const CDSDATA program = LoadProgram(session, spec);
        if (outputs.empty())
            if (const auto groups = resp::SourceGroups(program); !groups.empty()) outputs = groups.front();
        for (int n : outputs)
            if (program.out_mute[n] != 0)
                session.Note("Out " + std::to_string(n + 1) + " is muted: it adds nothing to the sum.");
        session.Note("Nominal shapes of the filter types, not a measurement of the unit.");

        const resp::ResponseRequest request{
            resp::LogGrid(resp::kLowestHz, resp::kHighestHz, static_cast<std::size_t>(*points)), {outputs}, {}};
        const resp::SystemResponse response = resp::ComputeSystemResponse(program, request);
        const resp::SystemCurves curves = resp::CurvesOf(response);

        if (*csv) {
            std::vector<resp::TableColumn> columns;
            for (int n : outputs) columns.push_back({"out" + std::to_string(n + 1), &curves.outputs[n]});
            columns.push_back({"sum", &curves.sums[0]});
            std::cout << resp::ResponseCsv(response.hz, columns);
            return;
        }
        json frequencies = json::array();
        for (double f : response.hz) frequencies.push_back(resp::Rounded(f, resp::kHzDecimals));
        json per_output = json::object();
        json sum_outputs = json::array();
        for (int n : outputs) {
            per_output[std::to_string(n + 1)] = CurveJson(curves.outputs[n]);
            sum_outputs.push_back(n + 1);
        }
        json sum = {{"outputs", sum_outputs}};
        sum.update(CurveJson(curves.sums[0]));
        session.Print({{"frequencies", frequencies}, {"outputs", per_output}, {"sum", sum}},
                      Text(response, curves, outputs));
    });
}

}  // namespace kvctl
