// Config > Remote control...: whether 758 serves the unit to show control
// (a web page, the HTTP/WebSocket API and OSC), on which address and ports,
// with which tokens, and whether operations that reset the unit may be
// asked over the network; the page's address with a QR code for a tablet.
// OK stores the settings and starts, restarts or stops the server; a
// refusal or a port that cannot be taken is said in the dialog, which then
// stays open.
#pragma once

#include <QDialog>

#include "remote/remote_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace remote {
class RemoteControl;
}

class CDlgRemote : public QDialog {
    Q_OBJECT

public:
    explicit CDlgRemote(remote::RemoteControl& control, QWidget* parent = nullptr);

    // The settings as the controls stand.
    remote::RemoteSettings Settings() const;

    QCheckBox* enabledBox() const { return enabled_; }
    QComboBox* addressList() const { return address_; }
    QSpinBox* httpPortBox() const { return http_port_; }
    QSpinBox* oscPortBox() const { return osc_port_; }
    QLineEdit* tokenEdit() const { return token_; }
    QLineEdit* readOnlyTokenEdit() const { return read_only_token_; }
    QPushButton* newTokenButton() const { return new_token_; }
    QPushButton* newReadOnlyTokenButton() const { return new_read_only_token_; }
    QCheckBox* allowResetBox() const { return allow_reset_; }
    QCheckBox* watchOnlyBox() const { return watch_only_; }
    QLabel* noteLabel() const { return note_; }
    QLineEdit* pageEdit() const { return page_; }
    QLabel* qrLabel() const { return qr_; }

public slots:
    void accept() override;

private:
    void Show(const remote::RemoteSettings& settings);
    // The note, the page's address and its QR code, for the controls as
    // they stand.
    void UpdatePage();
    void SelectAddress(const QString& address);

    remote::RemoteControl& control_;
    QCheckBox* enabled_;
    QComboBox* address_;
    QSpinBox* http_port_;
    QSpinBox* osc_port_;
    QLineEdit* token_;
    QLineEdit* read_only_token_;
    QPushButton* new_token_;
    QToolButton* no_token_;
    QPushButton* new_read_only_token_;
    QToolButton* no_read_only_token_;
    QCheckBox* allow_reset_;
    QCheckBox* watch_only_;
    QLabel* note_;
    QLineEdit* page_;
    QLabel* qr_;
};
