#include "memory/bank_file_io.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

#include <kvcom/kvcom.h>

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

void FillWorkingProgramEntry(CDSDATA& model) {
    if (prog_len[0] >= 5) return;
    const char saved = model.mem_num;
    model.mem_num = 0;
    prog_len[0] = model.SaveData(prog_save[0]);
    model.mem_num = saved;
}

QByteArray EncodeMemoryTable(const CDSDATA& model) {
    tables::BankTable table;
    for (int m = 0; m < KV_MEMORIES; ++m) {
        tables::BankEntry& e = table.entries[static_cast<std::size_t>(m)];
        const int len = std::clamp(prog_len[m], 0, KV_IMAGE_MAX);
        e.image.assign(prog_save[m], prog_save[m] + len);
        e.name.assign(data_name[m], strnlen(data_name[m], 8));
        e.used = data_memoryb[m] != 0;
    }
    table.current = static_cast<unsigned char>(model.mem_num);
    const std::vector<std::uint8_t> bytes = tables::EncodeBank(table);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

void LoadMemoryTable(const QByteArray& bytes) {
    const tables::BankTable table = tables::DecodeBank(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                       static_cast<std::size_t>(bytes.size()));
    for (int m = 0; m < KV_MEMORIES; ++m) {
        const tables::BankEntry& e = table.entries[static_cast<std::size_t>(m)];
        const std::size_t len = std::min<std::size_t>(e.image.size(), KV_IMAGE_MAX);
        std::memset(prog_save[m], 0, sizeof prog_save[m]);
        if (len > 0) std::memcpy(prog_save[m], e.image.data(), len);
        prog_len[m] = static_cast<int>(len);
        std::memset(data_name[m], 0, sizeof data_name[m]);
        if (!e.name.empty()) std::memcpy(data_name[m], e.name.data(), std::min<std::size_t>(e.name.size(), 8));
        data_memoryb[m] = e.used ? 1 : 0;
    }
}
