#include "widgets/dialog_buttons.h"

#include <QDialog>
#include <QPushButton>

#include "widgets/dialog_units.h"

QPushButton* AddOkButton(QDialog* dialog, const DialogUnits& du, int x, int y) {
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    ok->setGeometry(du.rect(x, y, 50, 14));
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    return ok;
}

QPushButton* AddCancelButton(QDialog* dialog, const DialogUnits& du, int x, int y) {
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setGeometry(du.rect(x, y, 50, 14));
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return cancel;
}

void AddOkCancelButtons(QDialog* dialog, const DialogUnits& du, int x, int y) {
    AddOkButton(dialog, du, x, y);
    AddCancelButton(dialog, du, x, y + 18);
}
