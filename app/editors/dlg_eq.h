// The EQ editor: edits one parametric EQ filter of a channel (In A, In B or
// an output) and steps through the channel's 12 EQ slots. Every change is
// written into the model and sent at once; closing undoes nothing.
//
// The opener sets cur_chan, cur_slot and cur_eq (the slot's pool row, -1
// when empty) and runs the dialog with exec().
#pragma once

#include <QDialog>

#include <kvcom/kvcom.h>

class CommitEdit;
class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class CResponseGraph;

class CDlgEQ : public QDialog {
    Q_OBJECT

public:
    static constexpr int kSlots = 12;

    CDlgEQ(CDSDATA& model, bool hideCrossover, QWidget* parent = nullptr);
    ~CDlgEQ() override;

    CResponseGraph* Graph() const { return graph_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The four values of a filter, in the order of the spin arrays.
    enum class Field { Freq, Gain, Width, Type };

    void Refresh();
    void ShowField(Field field);
    void ShowValues();
    void ApplyEnabling();
    void UpdateGraph();

    void OnSpin(Field field, int step);
    void OnTyped(Field field);
    void OnTypeChosen(int type);
    void OnAddEq();
    void OnFlat();
    void OnPrev();
    void OnNext();

    // Stores a value of the edited row (pool, input copy and the filter the
    // link repeat reaches) and sends it with the code of the row's owner.
    void Store(Field field, int value);

    int* SlotList() const;
    bool SlotHoldsFilter() const;
    CommitEdit* EditOf(Field field) const;

    CDSDATA& model_;
    QComboBox* type_list_;
    CommitEdit* freq_edit_;
    CommitEdit* gain_edit_;
    CommitEdit* width_edit_;
    QToolButton* spin_buttons_[3][2];  // [Freq, Gain, Width][0 = down, 1 = up]
    QPushButton* flat_button_;
    QPushButton* add_button_;
    QPushButton* prev_button_;
    QPushButton* next_button_;
    QLineEdit* slot_caption_;
    CResponseGraph* graph_;
    QPushButton* exit_button_;
};
