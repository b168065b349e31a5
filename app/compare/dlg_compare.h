// The Compare window: two programs side by side, only where they differ.
// Each side is picked from the PC's program, the unit (working program or a
// memory, read without recalling it), a program file or an entry of the
// memory table; the differences are listed per channel. Selected settings
// can be taken into the PC's program or sent to the unit as ordinary
// parameter messages. Modeless: the other windows stay usable beside it.
#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include <kvprog/describe.h>

#include "compare/program_source.h"

class CMy758Doc;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;

// One side's chooser: what kind of source, and which memory, entry or file.
class SourcePicker : public QWidget {
    Q_OBJECT

public:
    explicit SourcePicker(const QString& caption, QWidget* parent = nullptr);
    ProgramSource source() const;
    void setSource(const ProgramSource& source);
    // The memory table may have changed (a bank loaded, a list read).
    void refreshEntries();

private:
    void updateDetail();

    QComboBox* kind_;
    QSpinBox* memory_;
    QComboBox* entry_;
    QLineEdit* path_;
    QPushButton* browse_;
};

class CDlgCompare : public QDialog {
    Q_OBJECT

public:
    explicit CDlgCompare(CMy758Doc& doc, QWidget* parent = nullptr);
    ~CDlgCompare() override;

    void setSources(const ProgramSource& a, const ProgramSource& b);
    // Shows programs read already (Verify has fetched its side).
    void showComparison(const ProgramSource& a, const CDSDATA& a_program, const ProgramSource& b,
                        const CDSDATA& b_program);

    QTreeWidget* table() const { return table_; }
    QString statusText() const;
    const std::vector<kvprog::Difference>& differences() const { return diffs_; }
    // The settings of the selected rows (a channel row stands for all its
    // settings), in the table's order.
    std::vector<kvprog::SettingRef> selectedSettings() const;
    // Selects the rows of these settings (others are cleared) and shows the
    // first of them.
    void selectSettings(const std::vector<kvprog::SettingRef>& refs);

public slots:
    // Reads both sides (the unit's through the device thread) and lists
    // where they differ. False when a side could not be read.
    bool compare();
    // The PC's program against the unit's working program, read afresh.
    bool verify();
    void takeSelected();
    void sendSelected();

private:
    void showDifferences();
    // Nothing is shown any more (a side could not be read).
    void clearComparison();
    void updateButtons();
    // The side whose values Take copies (the one that is not the PC's
    // program) and the side whose values Send sends (the one that is not
    // the unit); -1 when none fits.
    int takeSide() const;
    int sendSide() const;
    const CDSDATA& program(int side) const { return side == 0 ? *a_ : *b_; }

    CMy758Doc& doc_;
    SourcePicker* pickers_[2];
    ProgramSource shown_[2];
    std::unique_ptr<CDSDATA> a_, b_;
    bool loaded_ = false;
    std::vector<kvprog::Difference> diffs_;
    QTreeWidget* table_;
    QLabel* status_;
    QLabel* direction_;
    QPushButton* compare_;
    QPushButton* verify_;
    QPushButton* take_;
    QPushButton* send_;
};

// The Compare window of `parent` (one per frame): shown and raised, made
// when there is none.
CDlgCompare* OpenCompareWindow(CMy758Doc& doc, QWidget* parent);

// Verify: reads memory `memory` of the unit (0: the working program) and
// compares it with the PC's program. No differences is said in a message
// box; differences open the Compare window on them. A failed read is told.
void VerifyAgainstUnit(CMy758Doc& doc, QWidget* parent, int memory);
