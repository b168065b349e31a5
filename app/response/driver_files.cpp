#include "response/driver_files.h"

#include <QFile>
#include <QFileInfo>

namespace response {

namespace {

QString HzText(double hz) {
    return hz >= 1000 ? QStringLiteral("%1 kHz").arg(hz / 1000, 0, 'g', 3) : QStringLiteral("%1 Hz").arg(hz, 0, 'g', 3);
}

}  // namespace

bool DriverFiles::Load(int output, const QString& path, QString* why) {
    const auto read = kvresponse::ReadMeasurementFile(QFile::encodeName(path).toStdString());
    if (!read) {
        if (why) {
            const QString name = QFileInfo(path).fileName();
            const kvcore::Refusal& r = read.refusal();
            *why = r.place.empty() ? QStringLiteral("%1: %2").arg(name, QString::fromStdString(r.reason))
                                   : QStringLiteral("%1, %2: %3")
                                         .arg(name, QString::fromStdString(r.place), QString::fromStdString(r.reason));
        }
        return false;
    }
    Driver d{path, *read, kvresponse::MeasuredTransfer(*read, hz_)};
    if (d.on_grid.start == kvresponse::kNoPoint) {
        // It would blank the output and every sum it is in.
        if (why)
            *why = QObject::tr("%1: measured from %2 to %3, nothing between %4 and %5")
                       .arg(QFileInfo(path).fileName(), HzText(read->hz.front()), HzText(read->hz.back()),
                            HzText(hz_.front()), HzText(hz_.back()));
        return false;
    }
    drivers_[output] = std::move(d);
    return true;
}

void DriverFiles::Clear(int output) { drivers_[output].reset(); }

QString DriverFiles::FileName(int output) const {
    return Has(output) ? QFileInfo(drivers_[output]->path).fileName() : QString();
}

QString DriverFiles::Description(int output) const {
    if (!Has(output)) return {};
    const kvresponse::Measurement& m = drivers_[output]->measured;
    QString text = QStringLiteral("%1: %2 points, %3 - %4")
                       .arg(FileName(output))
                       .arg(m.hz.size())
                       .arg(HzText(m.hz.front()), HzText(m.hz.back()));
    if (!m.phase_measured) text += QObject::tr(", minimum phase");
    return text;
}

}  // namespace response
