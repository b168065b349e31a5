// Chooses the serial port (COM1 to COM4) and the device behind it, stores
// both in the settings and reopens the link on them at once. The devices of
// the machine are listed with their state; "Find unit" asks each free one
// for the unit.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include <kvports/ports.h>

class CDSDATA;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

class CDlgRS232 : public QDialog {
    Q_OBJECT

public:
    // model: the document's model, which the search for the unit runs
    // against as every device task does (it is not changed). Without one,
    // Find unit is not offered.
    explicit CDlgRS232(QWidget* parent = nullptr, CDSDATA* model = nullptr);

    // The radio button of COM port n (1..4).
    QRadioButton* portButton(int port) const;
    // The port whose button is set, 0 when none is.
    int selectedPort() const;

    // The device chooser of the selected COM port.
    QTreeWidget* portList() const { return list_; }
    QLineEdit* deviceEdit() const { return edit_; }
    QPushButton* findButton() const { return find_; }
    QLabel* statusLabel() const { return status_; }
    // The device chosen for COM port n in this dialog, "" for /dev/ttyS<n-1>.
    QString chosenDevice(int port) const;

    // The machine the ports are read from (tests put their own in).
    void setPortSystem(kvports::PortSystem* system);

public slots:
    // Checks the devices typed in this dialog, then closes the link, stores
    // the port and the devices and opens it again. A device that cannot be
    // a serial port is refused with the reason: nothing is stored and the
    // link stays as it was. When the new port cannot be opened the user is
    // told why and the dialog stays open, so another port can be chosen.
    void accept() override;
    // Reads the machine's ports and their states again.
    void refreshPorts();
    // Asks each free port for the unit, one second each, and chooses the
    // first where it answers for the selected COM port. The port of the
    // open link is neither opened nor asked, and the link stays up: the
    // unit is on it, and it is reported so.
    void findUnit();
    // After a failed OK: the port it was opened with comes back, stored,
    // with its link open again if it was.
    void reject() override;

private:
    struct Row {
        kvports::PortInfo port;
        QString remembered;  // the path stored when the row is chosen
        QString note;        // the description column
    };
    void showDevice();
    void fillList(const std::vector<QString>& results = {});
    void selectRowOf(const QString& device);
    void onRowChosen();
    void onEdited(const QString& text);
    std::vector<Row> gatherRows();

    CDSDATA* model_;
    kvports::PortSystem* system_;
    QRadioButton* buttons_[4];
    QGroupBox* device_group_;
    QTreeWidget* list_;
    QLineEdit* edit_;
    QLabel* note_;
    QPushButton* refresh_;
    QPushButton* find_;
    QLabel* status_;
    QString devices_[4];  // the choices in this dialog
    QString stored_[4];   // the choices in the settings
    std::vector<Row> rows_;
    bool filling_ = false;
    int previous_port_;
    bool previous_connected_;
    bool port_changed_ = false;
};

// The stored port ("Settings"/"RS232Port", default 1).
int StoredPort();
// Stores port as "Settings"/"RS232Port" and "COM<port>" as "RS232PortString".
void StorePort(int port);
