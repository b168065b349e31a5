#include "traffic/traffic_model.h"

#include <kvcom/kvcom.h>

#include <span>

namespace traffic {

namespace {

std::span<const std::uint8_t> Span(const QByteArray& b) {
    return {reinterpret_cast<const std::uint8_t*>(b.constData()), static_cast<std::size_t>(b.size())};
}

QString DirectionWords(int direction) {
    return direction == TRAFFIC_SENT ? QStringLiteral("to unit") : QStringLiteral("from unit");
}

}  // namespace

TrafficModel::TrafficModel(QObject* parent) : QAbstractTableModel(parent) {}

void TrafficModel::Append(const std::vector<TrafficRecord>& records) {
    if (records.empty()) return;
    // Only the newest kMaxRows of this batch can stay.
    const std::size_t skip = records.size() > std::size_t(kMaxRows) ? records.size() - kMaxRows : 0;
    const int incoming = int(records.size() - skip);
    const int excess = int(rows_.size()) + incoming - kMaxRows;
    if (excess > 0) {
        beginRemoveRows({}, 0, excess - 1);
        rows_.erase(rows_.begin(), rows_.begin() + excess);
        endRemoveRows();
    }
    const int first = int(rows_.size());
    beginInsertRows({}, first, first + incoming - 1);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const TrafficRecord& r = records[i];
        // Every message goes through its decoder, so a repeat is recognised
        // also right after the rows that did not fit.
        kvprog::MessageDecoder& decoder = r.direction == TRAFFIC_SENT ? sent_ : received_;
        const std::string words = decoder.Decode(Span(r.bytes));
        if (i < skip) continue;
        rows_.push_back({r.time_us, r.direction, QString::fromStdString(words), r.bytes});
    }
    endInsertRows();
}

void TrafficModel::Clear() {
    beginResetModel();
    rows_.clear();
    sent_.Reset();
    received_.Reset();
    endResetModel();
}

QString TrafficModel::Cell(const Row& row, int column) const {
    switch (column) {
    case kTime: return QString::number(double(row.time_us - origin_us_) / 1000.0, 'f', 1);
    case kDirection: return DirectionWords(row.direction);
    case kMessage: return row.words;
    case kBytes: return QString::fromStdString(kvprog::HexBytes(Span(row.bytes)));
    default: return {};
    }
}

QString TrafficModel::Text(bool with_bytes) const {
    QString out;
    for (const Row& row : rows_) {
        out += QStringLiteral("%1 ms  %2  %3").arg(Cell(row, kTime), 10).arg(Cell(row, kDirection), -9).arg(row.words);
        if (with_bytes) out += QStringLiteral("  [%1]").arg(Cell(row, kBytes));
        out += QLatin1Char('\n');
    }
    return out;
}

int TrafficModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

int TrafficModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size())) return {};
    const Row& row = rows_[std::size_t(index.row())];
    if (role == Qt::DisplayRole) return Cell(row, index.column());
    if (role == Qt::TextAlignmentRole && index.column() == kTime)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case kTime: return QStringLiteral("Time (ms)");
    case kDirection: return QStringLiteral("Direction");
    case kMessage: return QStringLiteral("Message");
    case kBytes: return QStringLiteral("Bytes");
    default: return {};
    }
}

}  // namespace traffic
