#include "settings/dlg_rs232.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSettings>

#include <kvcom/kvcom.h>

#include "settings/port_problem.h"
#include "widgets/dialog_buttons.h"
#include "widgets/dialog_units.h"

namespace {
const QString kPortKey = QStringLiteral("Settings/RS232Port");
const QString kPortStringKey = QStringLiteral("Settings/RS232PortString");
}  // namespace

int StoredPort() { return QSettings().value(kPortKey, 1).toInt(); }

void StorePort(int port) {
    QSettings settings;
    settings.setValue(kPortKey, port);
    settings.setValue(kPortStringKey, QStringLiteral("COM%1").arg(port));
    settings.sync();
}

CDlgRS232::CDlgRS232(QWidget* parent)
    : QDialog(parent), previous_port_(rs232_port), previous_connected_(LinkConnected() != 0) {
    setWindowTitle(QStringLiteral("RS232"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits du;
    setFixedSize(du.size(200, 132));

    auto* group = new QGroupBox(QStringLiteral("Select RS232 Port"), this);
    group->setGeometry(du.rect(8, 6, 120, 46));
    for (int i = 0; i < 4; ++i) {
        buttons_[i] = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), group);
        buttons_[i]->setObjectName(QStringLiteral("com%1").arg(i + 1));
        buttons_[i]->setGeometry(du.rect(10 + 55 * (i % 2), 14 + 14 * (i / 2), 50, 12));
    }

    const char* notes[] = {"Note:", "Please set config on Device with", "1) SETUP|Midi Mode to PCPort ",
                           "2) SETUP|Midi Channel to 1"};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(QString::fromLatin1(notes[i]), this);
        label->setGeometry(du.rect(i == 0 ? 8 : 16, 60 + 14 * i, 170, 10));
    }

    AddOkCancelButtons(this, du, 140, 10);

    // A stored number outside 1..4 leaves every button clear.
    if (QRadioButton* b = portButton(StoredPort())) b->setChecked(true);
}

QRadioButton* CDlgRS232::portButton(int port) const {
    return port >= 1 && port <= 4 ? buttons_[port - 1] : nullptr;
}

int CDlgRS232::selectedPort() const {
    for (int i = 0; i < 4; ++i)
        if (buttons_[i]->isChecked()) return i + 1;
    return 0;
}

void CDlgRS232::accept() {
    CloseConnection();
    port_changed_ = true;
    rs232_port = selectedPort();
    StorePort(rs232_port);
    if (OpenConnection() == 0) {
        ShowConnectionFailed(this, rs232_port);
        return;
    }
    QDialog::accept();
}

void CDlgRS232::reject() {
    if (port_changed_) {
        CloseConnection();
        rs232_port = previous_port_;
        StorePort(previous_port_);
        if (previous_connected_) OpenConnection();
        port_changed_ = false;
    }
    QDialog::reject();
}
