// File > History...: the programs the history kept (time, reason, program
// name), newest first; the differences of the chosen one to the current
// program; and Open, which makes an untitled copy of it the document.
#pragma once

#include <QDialog>
#include <QList>
#include <functional>

#include <kvcom/kvcom.h>

#include "history/history_store.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

class CDlgHistory : public QDialog {
    Q_OBJECT

public:
    // model: the current program, compared with each entry, never changed.
    CDlgHistory(const CDSDATA& model, const history::HistoryStore& store, QWidget* parent = nullptr);

    // Opens a kept program as the document (an untitled copy: the kept
    // file is never written); true when it was opened.
    std::function<bool(const history::HistoryEntry& entry)> open;

    QTableWidget* List() const { return list_; }
    QPlainTextEdit* Differences() const { return differences_; }
    QPushButton* OpenButton() const { return open_button_; }
    const QList<history::HistoryEntry>& Entries() const { return entries_; }

private slots:
    void selectionChanged();
    void openChosen();

private:
    int ChosenRow() const;

    const CDSDATA& model_;
    QList<history::HistoryEntry> entries_;
    QTableWidget* list_;
    QPlainTextEdit* differences_;
    QPushButton* open_button_;
    QLabel* folder_;
};
