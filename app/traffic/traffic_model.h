// The traffic window's list: one row per message with its time since the
// window opened, its direction, the message in words and, on demand, its
// bytes. Holds at most kMaxRows rows; the oldest go first.
#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>

#include <deque>
#include <vector>

#include "kvprog/decode.h"
#include "traffic/traffic_feed.h"

namespace traffic {

class TrafficModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kMaxRows = 10000;
    enum Column { kTime, kDirection, kMessage, kBytes, kColumns };

    explicit TrafficModel(QObject* parent = nullptr);

    // Times are counted from here (the feed's clock, microseconds).
    void SetOrigin(qint64 origin_us) { origin_us_ = origin_us; }
    void Append(const std::vector<TrafficRecord>& records);
    void Clear();

    // The rows as text, one line each, with or without the bytes.
    QString Text(bool with_bytes) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        qint64 time_us;
        int direction;
        QString words;
        QByteArray bytes;
    };
    QString Cell(const Row& row, int column) const;

    std::deque<Row> rows_;
    qint64 origin_us_ = 0;
    // Each direction is its own stream: a link repeat follows the message it
    // repeats on the same side.
    kvprog::MessageDecoder sent_;
    kvprog::MessageDecoder received_;
};

}  // namespace traffic
