#include "document/program_file.h"

#include <QCoreApplication>
#include <cstring>
#include <vector>

#include <kvcom/kvcom.h>

namespace programfile {

QByteArray Encode(const CDSDATA& model) {
    std::vector<unsigned char> image(KV_IMAGE_MAX);
    const int n = model.SaveData(image.data());
    QByteArray out(reinterpret_cast<const char*>(kHeader), kHeaderSize);
    out.append(reinterpret_cast<const char*>(image.data()), n);
    return out;
}

namespace {

QString RefusalText(DecodeResult result, const QString& file_name) {
    switch (result) {
    case DecodeResult::kOk: return QString();
    case DecodeResult::kTooLong:
        return QCoreApplication::translate("programfile", "%1 is too long for a program file (more than %2 bytes).")
            .arg(file_name)
            .arg(kReadBufferSize);
    case DecodeResult::kTooShort:
        return QCoreApplication::translate("programfile", "%1 is too short to hold a program.").arg(file_name);
    case DecodeResult::kNotAProgram:
        return QCoreApplication::translate("programfile", "%1 is not a Kalvore program file.").arg(file_name);
    }
    return QString();
}

}  // namespace

DecodeResult Check(const QByteArray& file) {
    if (file.size() > kReadBufferSize) return DecodeResult::kTooLong;
    if (file.size() < kHeaderSize + kMinImageSize) return DecodeResult::kTooShort;
    if (std::memcmp(file.constData(), kHeader, kHeaderSize) != 0 ||
        static_cast<unsigned char>(file.at(kHeaderSize)) != 0xF0)
        return DecodeResult::kNotAProgram;
    return DecodeResult::kOk;
}

bool Decode(const QByteArray& file, const QString& file_name, CDSDATA& model, QString* why) {
    const DecodeResult result = Check(file);
    if (result != DecodeResult::kOk) {
        if (why) *why = RefusalText(result, file_name);
        return false;
    }
    // The reader takes the whole file, header included, with the image at 4.
    std::vector<unsigned char> buffer(kReadBufferSize, 0);
    std::memcpy(buffer.data(), file.constData(), static_cast<std::size_t>(file.size()));
    model.GetData(buffer.data(), static_cast<int>(file.size()), kHeaderSize);
    return true;
}

}  // namespace programfile
