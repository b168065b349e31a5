#include "memory/bank_file_io.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <kvcom/kvcom.h>

#include "widgets/refusal_text.h"

QString WithBankSuffix(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + QStringLiteral(".ay");
}

bool ReadBankFile(const QString& path, QByteArray& bytes, QString* why) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (why) *why = file.errorString();
        return false;
    }
    QByteArray data = file.read(kBankFileReadLimit);
    // read() gives an empty array both for an empty file and for a failure.
    if (data.isEmpty() && file.error() != QFileDevice::NoError) {
        if (why) *why = file.errorString();
        return false;
    }
    bytes = std::move(data);
    return true;
}

bool DecodeBankBytes(const QByteArray& bytes, kvfiles::BankTable& table, QString* why, QString* note) {
    kvfiles::BankRead read = kvfiles::ReadBank(
        {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())});
    if (read.refused) {
        if (why) *why = RefusalText(*read.refused);
        return false;
    }
    if (note) *note = QString::fromStdString(kvfiles::BankNotesText(read.notes));
    table = std::move(read.table);
    return true;
}

QByteArray EncodeMemoryTable(const CDSDATA& model) {
    const std::vector<std::uint8_t> bytes =
        kvfiles::EncodeBank(kvfiles::BankFromMemoryTable(static_cast<unsigned char>(model.mem_num)));
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

bool LoadMemoryTable(const QByteArray& bytes) {
    kvfiles::BankTable table;
    if (!DecodeBankBytes(bytes, table, nullptr, nullptr)) return false;
    kvfiles::BankToMemoryTable(table);
    return true;
}
