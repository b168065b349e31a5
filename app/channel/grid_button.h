// The cell of the channel pages' crossover and EQ grids: a flat white button
// with a black frame and its caption centred, dark red while it can be
// clicked and pale blue-grey while it is greyed.
#pragma once

#include <QColor>
#include <QPushButton>

class CGridButton : public QPushButton {
    Q_OBJECT
public:
    explicit CGridButton(QWidget* parent = nullptr);
    CGridButton(const QString& caption, QWidget* parent);

    // Caption colour of an enabled and of a greyed cell.
    static QColor TextColor(bool enabled);

protected:
    void paintEvent(QPaintEvent* event) override;
};
