#include "channel/eq_grid.h"

#include <kvcom/kvcom.h>

#include "channel/channel_layout.h"
#include "channel/grid_button.h"
#include "kvvalues/text_conversions.h"
#include "kvvalues/value_tables.h"
#include "widgets/dialog_units.h"

namespace {

constexpr int kBell = 2;
constexpr std::array<const char*, EqGrid::kColumns> kColumnNames{"type", "freq", "gain", "width"};
// What the cells say until the first refresh.
constexpr std::array<const char*, EqGrid::kColumns> kTemplateCaptions{"Type", "Freq", "Gain", "Oct"};

QString TypeName(int type) {
    if (type < 0 || type >= static_cast<int>(kvvalues::EqTypeNames.size())) return QString();
    return QString::fromLatin1(kvvalues::EqTypeNames[type]);
}

}  // namespace

EqGrid::EqGrid(QWidget* page, const DialogUnits& du, const std::array<int, kColumns>& column_x, int top,
               const QString& name)
    : QObject(page) {
    using namespace channel_layout;
    for (int row = 0; row < kGridRows; ++row) {
        for (int col = 0; col < kColumns; ++col) {
            auto* cell = new CGridButton(QString::fromLatin1(kTemplateCaptions[col]), page);
            cell->setObjectName(QStringLiteral("%1_%2_%3").arg(name, QLatin1String(kColumnNames[col])).arg(row));
            cell->setGeometry(du.rect(column_x[col], top + kGridRowStep * row, kCellWidth, kCellHeight));
            connect(cell, &CGridButton::clicked, this, [this, row] { emit rowClicked(row); });
            cells_[row][col] = cell;
        }
    }
}

void EqGrid::ShowRow(int row, const Filter& f, bool enabled) {
    auto& cells = cells_[row];
    cells[kType]->setText(TypeName(f.type));
    cells[kFreq]->setText(QString::fromLatin1(kvvalues::FreqLabel(f.freq)));
    cells[kGain]->setText(QString::fromStdString(kvvalues::FormatEqGain(f.gain)));
    cells[kWidth]->setText(QString::fromStdString(kvvalues::FormatEqWidth(f.bw)));
    for (CGridButton* c : cells) c->setEnabled(enabled);
    // Only a Bell has a width to edit.
    if (enabled) cells[kWidth]->setEnabled(f.type == kBell);
}

void EqGrid::Show(const int* slot_list, const std::function<Filter(int pool_row)>& filter_at, bool room_for_new) {
    const Filter empty = filter_at(KV_DEFAULT_ROW);
    int first_free = -1;
    for (int row = 0; row < channel_layout::kGridRows; ++row) {
        const int r = slot_list[row];
        if (r >= 0 && r < KV_POOL_ROWS) {
            ShowRow(row, filter_at(r), true);
        } else {
            ShowRow(row, empty, false);
            if (first_free < 0) first_free = row;
        }
    }
    if (room_for_new && first_free >= 0) {
        for (CGridButton* c : cells_[first_free]) c->setEnabled(true);
    }
}

void EqGrid::DisableAll() {
    for (auto& row : cells_)
        for (CGridButton* c : row) c->setEnabled(false);
}
