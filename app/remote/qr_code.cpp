#include "remote/qr_code.h"

#include <qrencode.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <memory>

namespace remote {

QrModules EncodeQr(const QByteArray& text) {
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(static_cast<int>(text.size()), reinterpret_cast<const unsigned char*>(text.constData()), 0,
                          QR_ECLEVEL_M),
        &QRcode_free);
    QrModules modules;
    if (!code) return modules;
    modules.size = code->width;
    modules.dark.resize(static_cast<std::size_t>(code->width) * static_cast<std::size_t>(code->width));
    for (std::size_t i = 0; i < modules.dark.size(); ++i) modules.dark[i] = (code->data[i] & 1) != 0;
    return modules;
}

QPixmap QrPixmap(const QByteArray& text, int module_points, qreal dpr) {
    const QrModules modules = EncodeQr(text);
    if (modules.size == 0) return {};
    const int pixels = std::max(1, static_cast<int>(std::lround(module_points * dpr)));
    const int side = (modules.size + 2 * kQrQuietModules) * pixels;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < modules.size; ++y)
        for (int x = 0; x < modules.size; ++x)
            if (modules.Dark(x, y))
                painter.fillRect((x + kQrQuietModules) * pixels, (y + kQrQuietModules) * pixels, pixels, pixels,
                                 Qt::black);
    painter.end();
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

}  // namespace remote
