// Program files (".syx"): a 4-byte header 50 01 00 00 and one program image
// exactly as the model writes it. Encoding and decoding only; no file I/O.
#pragma once

#include <QByteArray>
#include <QString>

class CDSDATA;

namespace programfile {

inline constexpr unsigned char kHeader[4] = {0x50, 0x01, 0x00, 0x00};
inline constexpr int kHeaderSize = 4;
// The image reader always looks at the fixed part of an image, so files are
// read into a buffer of this size and longer files are refused.
inline constexpr int kReadBufferSize = 3000;
// The shortest image: no EQ filters in use.
inline constexpr int kMinImageSize = 490;

// Header plus the model's image.
QByteArray Encode(const CDSDATA& model);

enum class DecodeResult { kOk, kTooLong, kTooShort, kNotAProgram };

// Whether a whole file can be read as a program file, and if not, why.
DecodeResult Check(const QByteArray& file);

// Rebuilds model from a whole file. On failure returns false, leaves the
// model exactly as it was and says why (for the user, naming file_name) in
// *why.
bool Decode(const QByteArray& file, const QString& file_name, CDSDATA& model, QString* why);

}  // namespace programfile
