#include "widgets/dialog_units.h"

#include <QApplication>
#include <QFontMetrics>

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics fm(font);
    // Average width of the 52 letters, rounded, as dialog templates measure it.
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    base_x_ = (fm.horizontalAdvance(letters) / 26 + 1) / 2;
    base_y_ = fm.height();
    if (base_x_ <= 0) base_x_ = 6;
    if (base_y_ <= 0) base_y_ = 13;
}

QFont DialogUnits::DialogFont() {
    QFont f = QApplication::font();
    f.setPointSizeF(8.0);
    return f;
}
