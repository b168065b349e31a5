#include "kvresponse/response_table.h"

#include <charconv>
#include <cmath>

namespace kvresponse {

std::string FixedText(double value, int decimals) {
    if (!std::isfinite(value)) return {};
    value = Rounded(value, decimals);
    if (value == 0) value = 0;  // no "-0.000"
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(buffer, end) : std::string();
}

double Rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

std::string ResponseCsv(const std::vector<double>& hz, const std::vector<TableColumn>& columns) {
    std::string out = "hz";
    for (const TableColumn& c : columns) out += "," + c.key + "_db," + c.key + "_deg," + c.key + "_gd_ms";
    out += '\n';
    for (std::size_t i = 0; i < hz.size(); ++i) {
        out += FixedText(hz[i], kHzDecimals);
        for (const TableColumn& c : columns) {
            out += ',' + FixedText(c.curve->db[i], kDbDecimals);
            out += ',' + FixedText(c.curve->deg[i], kDegDecimals);
            out += ',' + FixedText(c.curve->gd_ms[i], kMsDecimals);
        }
        out += '\n';
    }
    return out;
}

}  // namespace kvresponse
