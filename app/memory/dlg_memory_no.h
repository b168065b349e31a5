// The memory-name prompt: asks for the name of a program before it is
// stored (Download here, Store in the memory manager).
#pragma once

#include <QDialog>

class CDSDATA;
class QLabel;
class QLineEdit;

class CDlgMemoryNo : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMaxNameLength = 8;

    explicit CDlgMemoryNo(QWidget* parent = nullptr);

    // The prompt line, e.g. "Current Memory:" or "Memory No:5".
    void setPrompt(const QString& prompt);
    // The proposed name.
    void setName(const QString& name);
    // The name as typed (upper case); valid after OK.
    QString name() const;
    // What OK will do, shown under the name and kept up to date as it is
    // typed: %1 stands for the name the store will use.
    void setConsequence(const QString& text);
    QLabel* consequenceLabel() const { return consequence_; }

    QLineEdit* nameEdit() const { return edit_; }
    QLabel* promptLabel() const { return prompt_; }

public slots:
    void accept() override;

private:
    QLabel* prompt_;
    QLineEdit* edit_;
    QLabel* consequence_ = nullptr;
};

// The name a store uses for what the prompt returned: trailing white space
// removed, and "KALVORE" when nothing is left.
QString MemoryNameFromInput(const QString& input);

// Puts name (at most 8 characters) into entry `entry` of the library's
// memory-name table, blank-padded to 8 characters and ended there, and into
// the model's prog_name.
void StoreMemoryName(CDSDATA& model, int entry, const QString& name);
