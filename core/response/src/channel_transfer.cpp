#include "kvresponse/channel_transfer.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "kvprog/settings.h"
#include "kvvalues/value_tables.h"

namespace kvresponse {

namespace {

constexpr double kDelayStepsPerSecond = 48000;  // delays in steps of 1/48 ms
constexpr double kOutGainDbPerStep = 0.2;

double DelaySeconds(int steps) { return std::max(steps, 0) / kDelayStepsPerSecond; }

// The EQ filters in the channel's slot list (what its page shows), from the
// shared pool.
void AddEq(const CDSDATA& m, int chan, std::vector<Section>& out) {
    const int count = kvprog::EqCount(m, chan);
    for (int slot = 0; slot < count; ++slot) {
        const int row = kvprog::EqRow(m, chan, slot);
        if (row < 0) continue;
        const int freq = std::clamp(m.eq_freq[row], kvvalues::kFreqRowFirst, kvvalues::kFreqRowLast);
        const int gain = std::clamp(m.eq_gain[row], 0, kvvalues::kEqGainSteps - 1);
        const int width = std::clamp(m.eq_bw[row], 0, kvvalues::kEqWidthSteps - 1);
        const auto eq = EqSections(m.eq_type[row], kvvalues::FreqIndexTable[freq].hz, kvvalues::EqGainTable[gain],
                                   kvvalues::EqWidthOctaves(width));
        out.insert(out.end(), eq.begin(), eq.end());
    }
}

// One side of the crossover: rows 0 and 201 are "Out", no filter.
void AddCrossover(const CDSDATA& m, int output, Pass pass, std::vector<Section>& out) {
    const int side = pass == Pass::High ? 0 : 1;
    const int row = m.xo_freq[output][side];
    if (row < kvvalues::kFreqRowFirst || row > kvvalues::kFreqRowLast) return;
    const auto xo = CrossoverSections(m.xo_type[output][side], pass, kvvalues::FreqIndexTable[row].hz);
    out.insert(out.end(), xo.begin(), xo.end());
}

}  // namespace

Chain InputChain(const CDSDATA& m, Source input) {
    Chain c;
    AddEq(m, input == kInB ? CHAN_IN_B : CHAN_IN_A, c.sections);
    c.delay_s = DelaySeconds(input == kInB ? m.inb_delay : m.ina_delay);
    return c;
}

Chain OutputChain(const CDSDATA& m, int output) {
    Chain c;
    AddCrossover(m, output, Pass::High, c.sections);
    AddCrossover(m, output, Pass::Low, c.sections);
    AddEq(m, output, c.sections);
    if (m.out_mute[output] != 0) {
        c.gain = 0;
    } else {
        c.gain = std::pow(10.0, m.out_gain[output] * kOutGainDbPerStep / 20);
        if (m.out_polarity[output] != 0) c.gain = -c.gain;
    }
    c.delay_s = DelaySeconds(m.out_delay[output]);
    return c;
}

Source OutputSource(const CDSDATA& m, int output) {
    const int s = m.out_source[output];
    return s == kInB ? kInB : s == kInSum ? kInSum : kInA;
}

SourcePaths SourceTransfers(const CDSDATA& m, const std::vector<double>& hz) {
    SourcePaths paths;
    paths[kInA] = Evaluate(InputChain(m, kInA), hz);
    paths[kInB] = Evaluate(InputChain(m, kInB), hz);
    paths[kInSum] = Sum({&paths[kInA], &paths[kInB]}, hz);
    Chain sum_delay;
    sum_delay.delay_s = DelaySeconds(m.sum_delay);
    Apply(sum_delay, hz, paths[kInSum]);
    return paths;
}

Transfer OutputTransfer(const CDSDATA& m, int output, const SourcePaths& sources, const std::vector<double>& hz) {
    Transfer t = sources[OutputSource(m, output)];
    Apply(OutputChain(m, output), hz, t);
    return t;
}

bool SameSignalPath(const CDSDATA& a, const CDSDATA& b) {
    auto same = [](const auto& x, const auto& y) { return std::equal(std::begin(x), std::end(x), std::begin(y)); };
    if (a.ina_delay != b.ina_delay || a.inb_delay != b.inb_delay || a.sum_delay != b.sum_delay) return false;
    if (!same(a.out_source, b.out_source) || !same(a.out_gain, b.out_gain) || !same(a.out_mute, b.out_mute) ||
        !same(a.out_polarity, b.out_polarity) || !same(a.out_delay, b.out_delay))
        return false;
    for (int n = 0; n < KV_OUTPUTS; ++n)
        if (!same(a.xo_freq[n], b.xo_freq[n]) || !same(a.xo_type[n], b.xo_type[n]) ||
            !same(a.out_eq_slot[n], b.out_eq_slot[n]))
            return false;
    return same(a.ina_eq_slot, b.ina_eq_slot) && same(a.inb_eq_slot, b.inb_eq_slot) && same(a.eq_type, b.eq_type) &&
           same(a.eq_freq, b.eq_freq) && same(a.eq_gain, b.eq_gain) && same(a.eq_bw, b.eq_bw);
}

std::vector<std::vector<int>> SourceGroups(const CDSDATA& m) {
    std::vector<std::vector<int>> groups;
    for (const Source s : {kInA, kInB, kInSum}) {
        std::vector<int> outputs;
        for (int n = 0; n < KV_OUTPUTS; ++n)
            if (OutputSource(m, n) == s) outputs.push_back(n);
        if (!outputs.empty()) groups.push_back(outputs);
    }
    return groups;
}

}  // namespace kvresponse
