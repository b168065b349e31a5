// The page's address as a QR code, for a tablet's camera: encoded by
// libqrencode, drawn here module by module as squares of whole device
// pixels with the quiet zone around, so the picture is sharp at every scale
// (never scaled after drawing).
#pragma once

#include <QByteArray>
#include <QPixmap>
#include <vector>

namespace remote {

// The symbol's modules, row by row: `size` x `size`, true for dark.
struct QrModules {
    int size = 0;
    std::vector<bool> dark;

    bool Dark(int x, int y) const { return dark[static_cast<std::size_t>(y * size + x)]; }
};

// Error correction M (a screen read at an angle); size 0 when the text does
// not fit a QR code.
QrModules EncodeQr(const QByteArray& text);

// The quiet zone, in modules, on each side.
inline constexpr int kQrQuietModules = 4;

// The symbol with its quiet zone, each module `module_points` points wide on
// a screen of device pixel ratio `dpr` (rounded to whole device pixels).
// Null when the text does not fit.
QPixmap QrPixmap(const QByteArray& text, int module_points, qreal dpr);

}  // namespace remote
