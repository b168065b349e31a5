// The crossover editor: the high-pass ("Low Freq") and low-pass ("High
// Freq") filter of one output, each with a frequency row and a type. The two
// bound each other; rows 0 and 201 switch a filter out. Every change is
// stored, copied to the stereo partner and sent at once.
//
// The opener sets cur_chan (the output) and xo_side, then runs exec().
#pragma once

#include <QDialog>

#include <kvcom/kvcom.h>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollBar;
class CResponseGraph;

class CDlgXover : public QDialog {
    Q_OBJECT

public:
    explicit CDlgXover(CDSDATA& model, QWidget* parent = nullptr);

    CResponseGraph* Graph() const { return graph_; }
    // The rows the edited filter may take besides "Out": the high-pass row
    // (at least 1) and the low-pass row (at most 200), taken when the side
    // is set up.
    int LowerBound() const { return lower_; }
    int UpperBound() const { return upper_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetUpSide();
    void UpdateGraph();
    void ShowRow();
    void ShowType();

    void OnSideChosen(int side);
    void OnScrollAction(int action);
    void OnTyped();
    void OnTypeChosen(int type);

    // Stores a new row for the edited side, unless it would switch a filter
    // in that the DSP budget has no room for; returns whether it did.
    bool StoreRow(int row);

    int Chan() const { return model_.cur_chan; }
    int Side() const { return model_.xo_side; }
    int& Row() { return model_.xo_freq[Chan()][Side()]; }
    int& Type() { return model_.xo_type[Chan()][Side()]; }

    CDSDATA& model_;
    int lower_ = 1;
    int upper_ = 200;

    QRadioButton* low_radio_;
    QRadioButton* high_radio_;
    QListWidget* type_list_;
    QLineEdit* freq_edit_;
    QScrollBar* scroll_;
    QLabel* left_label_;
    QLabel* right_label_;
    CResponseGraph* graph_;
    QPushButton* exit_button_;
};
