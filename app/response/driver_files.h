// The measured drivers loaded for the outputs of the System response
// window: per output the file, what it held and the measurement on the
// window's frequencies (computed once, at loading).
#pragma once

#include <QString>
#include <array>
#include <optional>
#include <vector>

#include <kvcom/kvcom.h>

#include "kvresponse/measurement.h"

namespace response {

class DriverFiles {
public:
    explicit DriverFiles(const std::vector<double>& hz) : hz_(hz) {}

    // Reads the file at path as output's driver. A refused file is taken
    // not at all (the output keeps what it had) and *why says where and
    // why: "woofer.txt, line 12: 'abc' is not a number". So is a file that
    // measured nothing within the window's frequencies.
    bool Load(int output, const QString& path, QString* why);
    void Clear(int output);

    bool Has(int output) const { return drivers_[output].has_value(); }
    // The measurement on the frequencies, or null.
    const kvresponse::Transfer* OnGrid(int output) const { return Has(output) ? &drivers_[output]->on_grid : nullptr; }
    // "woofer.txt: 512 points, 20 Hz - 20 kHz" (", minimum phase" without a phase column).
    QString Description(int output) const;
    QString FileName(int output) const;

private:
    struct Driver {
        QString path;
        kvresponse::Measurement measured;
        kvresponse::Transfer on_grid;
    };
    std::vector<double> hz_;
    std::array<std::optional<Driver>, KV_OUTPUTS> drivers_;
};

}  // namespace response
