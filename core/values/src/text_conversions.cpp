#include "kvvalues/text_conversions.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "kvvalues/value_tables.h"

namespace kvvalues {

namespace {

constexpr int kMaxDelaySteps = 30500;

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal order of magnitude of the number text that from_chars rejected as
// out of range, to tell overflow (> 0) from underflow (< 0).
long DecimalOrder(std::string_view num) {
    long order = 0;
    bool seen_digit = false;
    bool after_point = false;
    std::size_t i = 0;
    for (; i < num.size(); ++i) {
        char c = num[i];
        if (c == '.') {
            after_point = true;
        } else if (IsDigit(c)) {
            if (!after_point && (seen_digit || c != '0')) ++order;
            if (after_point && !seen_digit && c == '0') --order;
            if (c != '0') seen_digit = true;
        } else {
            break;
        }
    }
    if (i < num.size() && (num[i] == 'e' || num[i] == 'E')) {
        long exp = 0;
        bool neg = false;
        std::size_t j = i + 1;
        if (j < num.size() && (num[j] == '+' || num[j] == '-')) neg = num[j++] == '-';
        for (; j < num.size() && IsDigit(num[j]); ++j) exp = std::min(exp * 10 + (num[j] - '0'), 1000000L);
        order += neg ? -exp : exp;
    }
    return order;
}

// strtod's rules without its dependence on the C locale: leading white
// space, an optional sign, then a decimal (or 0x hexadecimal) number.
double LeadingNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsCSpace(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    std::string_view rest = text.substr(pos);
    if (rest.empty() || rest[0] == '+' || rest[0] == '-') return 0.0;

    auto fmt = std::chars_format::general;
    if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X') &&
        (std::isxdigit(static_cast<unsigned char>(rest[2])) || rest[2] == '.')) {
        rest.remove_prefix(2);
        fmt = std::chars_format::hex;
    }
    double value = 0.0;
    auto res = std::from_chars(rest.data(), rest.data() + rest.size(), value, fmt);
    if (res.ec == std::errc::invalid_argument) return 0.0;
    if (res.ec == std::errc::result_out_of_range) {
        std::string_view num(rest.data(), static_cast<std::size_t>(res.ptr - rest.data()));
        bool overflow = fmt == std::chars_format::hex || DecimalOrder(num) > 0;
        value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
    }
    if (std::isnan(value)) return 0.0;
    return negative ? -value : value;
}

// Truncates toward zero into lo..hi; safe for any double, inf and huge
// values included (a plain cast of those would be undefined).
int TruncClamped(double v, int lo, int hi) {
    if (!(v > lo)) return lo;
    if (!(v < hi)) return hi;
    return std::clamp(static_cast<int>(v), lo, hi);
}

// printf("%.*f") of v in the C locale, whatever the process locale is.
std::string Fixed(double v, int decimals, bool force_sign = false) {
    std::array<char, 400> buf{};
    auto res = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, decimals);
    std::string out(buf.data(), res.ptr);
    if (force_sign && !out.empty() && out[0] != '-') out.insert(out.begin(), '+');
    return out;
}

}  // namespace

double ParseTypedNumber(std::string_view text) {
    double value = LeadingNumber(text);
    if (text.size() > 1 && text.substr(1).find_first_of("kK") != std::string_view::npos) value *= 1000.0;
    return value;
}

std::optional<double> TypedNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsCSpace(text[pos])) ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    const bool digit_first = pos < text.size() && IsDigit(text[pos]);
    const bool point_first = pos + 1 < text.size() && text[pos] == '.' && IsDigit(text[pos + 1]);
    if (!digit_first && !point_first) return std::nullopt;
    return ParseTypedNumber(text);
}

int FreqIndexFromText(std::string_view text, FreqMode mode) {
    const double f = ParseTypedNumber(text);
    if (mode == FreqMode::Eq) {
        if (f < 15.0) return kFreqRowFirst;
        if (f > 17000.0) return kFreqRowLast;
    } else {
        if (f < 10.0) return 0;
        if (f > 16000.0) return kFreqRows - 1;
    }
    int row = kFreqRowFirst;
    while (row < kFreqRows - 1 && FreqIndexTable[row].hz < f) ++row;
    return mode == FreqMode::Eq ? std::min(row, kFreqRowLast) : row;
}

int WidthFromText(std::string_view text) {
    return TruncClamped((ParseTypedNumber(text) + 0.02) * 20.0 - 1.0, 0, kEqWidthSteps - 1);
}

int GainFromText(std::string_view text) {
    return TruncClamped((ParseTypedNumber(text) + 0.1) * 2.0 + kEqGainZero, 0, kEqGainSteps - 1);
}

int DelayStepsFromText(std::string_view text) {
    // One step is 1/48 ms; the device's constants are slightly off that.
    return TruncClamped((ParseTypedNumber(text) + 0.010416672) * 47.99997542401258, 0, kMaxDelaySteps);
}

int LevelStepsFromText(std::string_view text, int lo, int hi) {
    return TruncClamped(ParseTypedNumber(text) * 5.0, lo, hi);
}

std::string FormatEqGain(int index) { return Fixed(index * 0.5 - 15.0, 1) + " dB"; }

std::string FormatEqWidth(int index) { return Fixed(EqWidthOctaves(index), 2) + " Oct"; }

std::string FormatDelay(int steps) { return Fixed(steps * 0.020833344, 3) + " ms"; }

std::string FormatLevel(int steps) { return Fixed(steps * 0.2, 1, true) + " dB"; }

std::string FormatLimit(int steps) { return Fixed(steps * 0.2, 1, true) + " dBu"; }

}  // namespace kvvalues
