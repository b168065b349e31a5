#include "history/dlg_history.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "document/program_file.h"
#include "widgets/screen_fit.h"
#include "kvprog/describe.h"

CDlgHistory::CDlgHistory(const CDSDATA& model, const history::HistoryStore& store, QWidget* parent)
    : QDialog(parent), model_(model), entries_(store.Entries()) {
    setWindowTitle(tr("History"));

    list_ = new QTableWidget(static_cast<int>(entries_.size()), 3, this);
    list_->setObjectName(QStringLiteral("historyList"));
    list_->setHorizontalHeaderLabels({tr("Time"), tr("Reason"), tr("Program")});
    list_->verticalHeader()->hide();
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->horizontalHeader()->setStretchLastSection(true);
    for (int i = 0; i < entries_.size(); ++i) {
        const history::HistoryEntry& e = entries_[i];
        list_->setItem(i, 0, new QTableWidgetItem(e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        list_->setItem(i, 1, new QTableWidgetItem(e.reason));
        list_->setItem(i, 2, new QTableWidgetItem(e.bank ? tr("(the unit's memories)") : e.program_name));
    }
    list_->resizeColumnsToContents();

    differences_ = new QPlainTextEdit(this);
    differences_->setObjectName(QStringLiteral("differences"));
    differences_->setReadOnly(true);
    differences_->setFont(QFont(QStringLiteral("monospace")));
    differences_->setPlaceholderText(tr("Choose a program to see how it differs from the current one."));

    folder_ = new QLabel(tr("Kept in %1").arg(QDir::toNativeSeparators(store.Folder())), this);
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    open_button_ = new QPushButton(tr("&Open"), this);
    open_button_->setObjectName(QStringLiteral("openButton"));
    open_button_->setToolTip(tr("Open a copy of the chosen program as a new document (nothing is sent to the unit)"));
    open_button_->setEnabled(false);
    auto* close = new QPushButton(tr("&Close"), this);
    close->setObjectName(QStringLiteral("closeButton"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(folder_, 1);
    buttons->addWidget(open_button_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 2);
    layout->addWidget(new QLabel(tr("Differences (current program -> kept program):"), this));
    layout->addWidget(differences_, 3);
    layout->addLayout(buttons);
    // As large as it likes where there is room; the list and the
    // differences give way on a small screen, the buttons stay in view.
    list_->setMinimumHeight(list_->verticalHeader()->defaultSectionSize() * 3);
    differences_->setMinimumHeight(differences_->fontMetrics().lineSpacing() * 3);
    FitToScreen(this, QSize(720, 560));

    connect(list_, &QTableWidget::itemSelectionChanged, this, &CDlgHistory::selectionChanged);
    connect(list_, &QTableWidget::cellDoubleClicked, this, &CDlgHistory::openChosen);
    connect(open_button_, &QPushButton::clicked, this, &CDlgHistory::openChosen);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    if (!entries_.isEmpty()) list_->selectRow(0);
}

int CDlgHistory::ChosenRow() const {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.first().row() : -1;
}

void CDlgHistory::selectionChanged() {
    const int row = ChosenRow();
    const bool program = row >= 0 && !entries_[row].bank;
    open_button_->setEnabled(program);
    if (row < 0) {
        differences_->clear();
        return;
    }
    const history::HistoryEntry& e = entries_[row];
    if (e.bank) {
        differences_->setPlainText(
            tr("A bank of the unit's memories. Load it in the memory manager (Load All) to see or store it:\n%1")
                .arg(QDir::toNativeSeparators(e.path)));
        return;
    }
    QString why, note;
    CDSDATA kept(model_);  // a copy: a new model would reset the memory table
    if (!programfile::ReadFile(e.path, kept, &why, &note)) {
        differences_->setPlainText(why);
        return;
    }
    const QString diff = QString::fromStdString(kvprog::DiffText(kvprog::Diff(model_, kept)));
    differences_->setPlainText(note.isEmpty() ? diff : note + QStringLiteral("\n\n") + diff);
}

void CDlgHistory::openChosen() {
    const int row = ChosenRow();
    if (row < 0 || entries_[row].bank || !open) return;
    if (open(entries_[row])) accept();
}
