// Chooses the serial port (COM1 to COM4), stores it in the settings and
// reopens the link on it at once.
#pragma once

#include <QDialog>

class QRadioButton;

class CDlgRS232 : public QDialog {
    Q_OBJECT

public:
    explicit CDlgRS232(QWidget* parent = nullptr);

    // The radio button of COM port n (1..4).
    QRadioButton* portButton(int port) const;
    // The port whose button is set, 0 when none is.
    int selectedPort() const;

public slots:
    // Closes the link, stores the port and opens it again. When the new port
    // cannot be opened the user is told why and the dialog stays open, so
    // another port can be chosen.
    void accept() override;
    // After a failed OK: the port it was opened with comes back, stored,
    // with its link open again if it was.
    void reject() override;

private:
    QRadioButton* buttons_[4];
    int previous_port_;
    bool previous_connected_;
    bool port_changed_ = false;
};

// The stored port ("Settings"/"RS232Port", default 1).
int StoredPort();
// Stores port as "Settings"/"RS232Port" and "COM<port>" as "RS232PortString".
void StorePort(int port);
