// One channel's EQ filter list on a channel page: 12 rows (slots 0..11) of
// four grid cells, type, frequency, gain and width.
#pragma once

#include <QObject>
#include <array>
#include <functional>

class CGridButton;
class DialogUnits;
class QWidget;

class EqGrid : public QObject {
    Q_OBJECT
public:
    enum Column { kType, kFreq, kGain, kWidth };
    static constexpr int kColumns = 4;

    // The values of one filter as the model stores them.
    struct Filter {
        int type, freq, gain, bw;
    };

    // Creates the 48 cells on `page`; column_x holds the left edges of the
    // type, frequency, gain and width columns and top the top of row 0, in
    // dialog units. Cells are named "<name>_type_<row>" and so on.
    EqGrid(QWidget* page, const DialogUnits& du, const std::array<int, kColumns>& column_x, int top,
           const QString& name);

    // Shows a slot list (slot -> pool row, -1 empty). Lists are packed at the
    // front, so row k shows slot k: a filter enabled (its width only for a
    // Bell), an empty slot greyed with the values of the default row. The
    // first empty row is enabled for a new filter when room_for_new is set.
    void Show(const int* slot_list, const std::function<Filter(int pool_row)>& filter_at, bool room_for_new);

    void DisableAll();
    CGridButton* Cell(int row, Column column) const { return cells_[row][column]; }

signals:
    // Any cell of the row was clicked.
    void rowClicked(int row);

private:
    void ShowRow(int row, const Filter& f, bool enabled);

    std::array<std::array<CGridButton*, kColumns>, 12> cells_{};
};
