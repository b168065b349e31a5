// Window layouts are given in dialog units: a quarter of the dialog font's
// average character width across, an eighth of its height down. Converting
// with the font in use keeps every layout in proportion on any desktop.
#pragma once

#include <QFont>
#include <QRect>

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font = DialogFont());

    int x(int du) const { return (du * base_x_ + 2) / 4; }
    int y(int du) const { return (du * base_y_ + 4) / 8; }
    QRect rect(int x_du, int y_du, int w_du, int h_du) const { return QRect(x(x_du), y(y_du), x(w_du), y(h_du)); }
    QSize size(int w_du, int h_du) const { return QSize(x(w_du), y(h_du)); }

    // The font dialogs use: the application's default at 8 points.
    static QFont DialogFont();

private:
    int base_x_;
    int base_y_;
};
