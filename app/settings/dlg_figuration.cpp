#include "settings/dlg_figuration.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include <kvcom/kvcom.h>

#include "widgets/dialog_buttons.h"
#include "widgets/dialog_units.h"

CDlgFiguration::CDlgFiguration(CDSDATA& model, QWidget* parent) : QDialog(parent), model_(model) {
    setWindowTitle(QStringLiteral("Figuration"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits du;
    setFixedSize(du.size(186, 70));

    auto* label = new QLabel(QStringLiteral("Configuration"), this);
    label->setGeometry(du.rect(10, 12, 60, 10));
    list_ = new QComboBox(this);
    list_->setObjectName(QStringLiteral("configuration"));
    list_->addItems({QStringLiteral("Mono"), QStringLiteral("2 Channel 3 Way"), QStringLiteral("3 Channel 2 Way")});
    list_->setGeometry(du.rect(10, 24, 100, 14));
    label->setBuddy(list_);
    link_ = new QCheckBox(QStringLiteral("Stereo Link"), this);
    link_->setObjectName(QStringLiteral("stereoLink"));
    link_->setGeometry(du.rect(10, 46, 100, 12));

    AddOkCancelButtons(this, du, 128, 10);

    // Opening shows the model as it is; only a change of the list applies
    // the rule that Mono has no link and the others start linked.
    list_->setCurrentIndex(model_.figuration);
    link_->setChecked(model_.link_on != 0);
    link_->setEnabled(model_.figuration != 0);
    connect(list_, &QComboBox::currentIndexChanged, this, &CDlgFiguration::onSelectionChanged);
}

void CDlgFiguration::onSelectionChanged(int index) {
    link_->setChecked(index != 0);
    link_->setEnabled(index != 0);
}

void CDlgFiguration::accept() {
    model_.figuration = static_cast<char>(list_->currentIndex());
    model_.link_on = link_->isChecked() ? 1 : 0;
    QDialog::accept();
}
