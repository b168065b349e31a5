// Small controls of the channel pages: the value edit that only takes typed
// text on Enter, and the up/down arrows attached to a delay edit.
#pragma once

#include <QLineEdit>
#include <QWidget>

class QToolButton;

// A right-aligned edit for a typed value. Enter is consumed here (it never
// reaches the sheet) and reported as enterPressed when the text begins with
// a number. Text that does not, and leaving the edit, report typingDropped
// so the page shows the model's text again: what was typed is dropped and
// nothing is sent. Up and Down report steps for an attached spin.
class CommitEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CommitEdit(QWidget* parent = nullptr);

signals:
    void enterPressed();
    void typingDropped();
    void stepRequested(int step);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

// The up/down arrows of a delay edit. They do not change anything by
// themselves: a step (+1 up, -1 down) is reported before the position moves,
// and the page applies its rule, then sets the range and the position.
class SpinButtons : public QWidget {
    Q_OBJECT
public:
    explicit SpinButtons(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    void setPosition(int position) { position_ = position; }
    int position() const { return position_; }

signals:
    void stepRequested(int step);

private:
    QToolButton* up_;
    QToolButton* down_;
    int minimum_ = 0;
    int maximum_ = 0;
    int position_ = 0;
};
