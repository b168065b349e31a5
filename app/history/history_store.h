// The automatic history: before an operation replaces the PC's program or
// the unit's settings, the program being replaced is kept as a program file
// (".syx") in the user's data folder, named by time and reason; before Store
// All the unit's memories can be kept there as a bank file (".ay"). The
// newest kMaxEntries are kept. Every file is written whole or not at all.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

class CDSDATA;

namespace history {

inline constexpr int kMaxEntries = 100;

struct HistoryEntry {
    QString path;
    QDateTime time;
    QString reason;        // "Upload", "Store All", ...
    QString program_name;  // the name inside the program; empty for a bank
    bool bank = false;     // a bank of the unit's memories (".ay")
};

// The title of a kept program opened as an untitled copy: "Recall 00:01
// (from history)", with the date too when it is not from today.
QString CopyTitle(const HistoryEntry& entry, const QDate& today = QDate::currentDate());

class HistoryStore {
public:
    // The default folder: the application's data folder + "/history".
    HistoryStore();
    explicit HistoryStore(const QString& folder) : folder_(folder) {}

    QString Folder() const { return folder_; }

    // Keeps the model's program (as a program file) or a bank's bytes under
    // `reason`, then drops the oldest entries past kMaxEntries. False, with
    // the reason in *why, when it could not be written.
    bool KeepProgram(const CDSDATA& model, const QString& reason, QString* why);
    bool KeepBank(const QByteArray& bank, const QString& reason, QString* why);

    // The entries, newest first.
    QList<HistoryEntry> Entries() const;

    // The title of an untitled copy of a file in the folder (CopyTitle of
    // its entry); empty for a file elsewhere.
    QString CopyTitleFor(const QString& path) const;

    // "20261207-140205-123 Upload.syx"
    static QString FileName(const QDateTime& time, const QString& reason, const QString& suffix);

private:
    bool Keep(const QByteArray& bytes, const QString& reason, const QString& suffix, QString* why);
    void Prune() const;

    QString folder_;
};

}  // namespace history
