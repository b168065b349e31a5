#include "memory/dlg_memory_no.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QValidator>
#include <cstring>

#include <kvcom/kvcom.h>

#include "widgets/dialog_buttons.h"
#include "widgets/dialog_units.h"
#include "widgets/message_box.h"

namespace {

// Turns letters into capitals as they are typed. Names travel in the
// device's 7-bit messages, so only printable ASCII is accepted.
class UpperCaseValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        for (const QChar c : input)
            if (c.unicode() < 0x20 || c.unicode() > 0x7E) return Invalid;
        input = input.toUpper();
        return Acceptable;
    }
};

}  // namespace

CDlgMemoryNo::CDlgMemoryNo(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("KALVORE"));
    const DialogUnits du;
    setFont(DialogUnits::DialogFont());
    setFixedSize(du.size(205, 70));

    prompt_ = new QLabel(QStringLiteral("Memory No:20"), this);
    prompt_->setObjectName(QStringLiteral("prompt"));
    prompt_->setGeometry(du.rect(14, 12, 110, 10));

    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("name"));
    edit_->setGeometry(du.rect(14, 28, 110, 14));
    edit_->setValidator(new UpperCaseValidator(edit_));

    AddOkCancelButtons(this, du, 148, 10);
    edit_->setFocus();
}

void CDlgMemoryNo::setPrompt(const QString& prompt) { prompt_->setText(prompt); }

void CDlgMemoryNo::setName(const QString& name) { edit_->setText(name.toUpper()); }

QString CDlgMemoryNo::name() const { return edit_->text(); }

void CDlgMemoryNo::setConsequence(const QString& text) {
    const DialogUnits du;
    if (!consequence_) {
        consequence_ = new QLabel(this);
        consequence_->setObjectName(QStringLiteral("consequence"));
        consequence_->setGeometry(du.rect(14, 48, 184, 26));
        consequence_->setWordWrap(true);
        setFixedSize(du.size(205, 80));
    }
    auto show = [this, text] { consequence_->setText(text.arg(MemoryNameFromInput(edit_->text()))); };
    disconnect(edit_, &QLineEdit::textChanged, this, nullptr);
    connect(edit_, &QLineEdit::textChanged, this, show);
    show();
}

void CDlgMemoryNo::accept() {
    if (edit_->text().size() > kMaxNameLength) {
        ShowMessage(this, QMessageBox::Warning, windowTitle(),
                    tr("Please enter no more than %1 characters.").arg(kMaxNameLength));
        // Only what is too much is marked, so typing over it keeps the rest.
        edit_->setFocus();
        edit_->setSelection(kMaxNameLength, edit_->text().size() - kMaxNameLength);
        return;
    }
    QDialog::accept();
}

QString MemoryNameFromInput(const QString& input) {
    QString name = input;
    while (!name.isEmpty() && name.back().isSpace()) name.chop(1);
    return name.isEmpty() ? QStringLiteral("KALVORE") : name;
}

void StoreMemoryName(CDSDATA& model, int entry, const QString& name) {
    const QByteArray bytes = name.left(CDlgMemoryNo::kMaxNameLength).toLatin1();
    std::memset(data_name[entry], ' ', CDlgMemoryNo::kMaxNameLength);
    std::memcpy(data_name[entry], bytes.constData(), static_cast<std::size_t>(bytes.size()));
    data_name[entry][bytes.size()] = '\0';
    std::memset(model.prog_name, 0, sizeof model.prog_name);
    std::memcpy(model.prog_name, bytes.constData(), static_cast<std::size_t>(bytes.size()));
}
