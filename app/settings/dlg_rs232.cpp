#include "settings/dlg_rs232.h"

#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTreeWidget>

#include <kvcom/kvcom.h>
#include <kvports/find_unit.h>

#include "settings/port_problem.h"
#include "settings/port_settings.h"
#include "device/device_task.h"
#include "widgets/dialog_buttons.h"
#include "widgets/dialog_units.h"
#include "widgets/message_box.h"
#include "widgets/screen_fit.h"
#include "widgets/refusal_text.h"

namespace {

const QString kPortKey = QStringLiteral("Settings/RS232Port");
const QString kPortStringKey = QStringLiteral("Settings/RS232PortString");

// The unit answers an identity request well within this.
constexpr int kProbeTimeoutMs = 1000;

enum Column { kColPort, kColDescription, kColState };

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return QFile::encodeName(s).toStdString(); }

// A device's name in the list: its stable name's last part, else the path
// below /dev/ ("ttyUSB0", "pts/3").
QString ShortName(const QString& path) {
    if (path.startsWith(QLatin1String("/dev/serial/"))) return path.section(QLatin1Char('/'), -1);
    if (path.startsWith(QLatin1String("/dev/"))) return path.mid(5);
    return path;
}

// The device this program's open link holds, "" while the link is closed.
QString LinkDevice() {
    if (LinkConnected() == 0 || npTTYInfo == nullptr) return {};
    char path[4096];
    PortDevicePath(npTTYInfo->port_number, path, sizeof path);
    return QFile::decodeName(path);
}

}  // namespace

int StoredPort() { return ReadStoredPortChoice().stored_com; }

void StorePort(int port) {
    QSettings settings;
    settings.setValue(kPortKey, port);
    settings.setValue(kPortStringKey, QStringLiteral("COM%1").arg(port));
    settings.sync();
}

CDlgRS232::CDlgRS232(QWidget* parent, CDSDATA* model)
    : QDialog(parent),
      model_(model),
      system_(&kvports::HostSystem()),
      previous_port_(rs232_port),
      previous_connected_(LinkConnected() != 0) {
    setWindowTitle(QStringLiteral("RS232"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits du;

    auto* group = new QGroupBox(QStringLiteral("Select RS232 Port"), this);
    group->setGeometry(du.rect(8, 6, 120, 46));
    for (int i = 0; i < 4; ++i) {
        buttons_[i] = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), group);
        buttons_[i]->setObjectName(QStringLiteral("com%1").arg(i + 1));
        buttons_[i]->setGeometry(du.rect(10 + 55 * (i % 2), 14 + 14 * (i / 2), 50, 12));
        connect(buttons_[i], &QRadioButton::toggled, this, [this](bool on) {
            if (on) showDevice();
        });
    }

    const char* notes[] = {"Note:", "Please set config on Device with", "1) SETUP|Midi Mode to PCPort ",
                           "2) SETUP|Midi Channel to 1"};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(QString::fromLatin1(notes[i]), this);
        label->setGeometry(du.rect(i == 0 ? 8 : 16, 60 + 14 * i, 170, 10));
    }

    AddOkCancelButtons(this, du, 272, 10);

    // The device behind the selected COM port.
    device_group_ = new QGroupBox(this);
    device_group_->setGeometry(du.rect(8, 118, 314, 150));
    list_ = new QTreeWidget(device_group_);
    list_->setObjectName(QStringLiteral("portList"));
    list_->setGeometry(du.rect(6, 12, 302, 64));
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({tr("Port"), tr("Description"), tr("State")});
    list_->header()->setStretchLastSection(true);
    list_->setColumnWidth(kColPort, du.x(70));
    list_->setColumnWidth(kColDescription, du.x(110));
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CDlgRS232::onRowChosen);

    auto* device_label = new QLabel(tr("Device:"), device_group_);
    device_label->setGeometry(du.rect(6, 82, 30, 10));
    edit_ = new QLineEdit(device_group_);
    edit_->setObjectName(QStringLiteral("devicePath"));
    edit_->setGeometry(du.rect(38, 80, 270, 13));
    device_label->setBuddy(edit_);
    connect(edit_, &QLineEdit::textEdited, this, &CDlgRS232::onEdited);

    note_ = new QLabel(device_group_);
    note_->setObjectName(QStringLiteral("deviceNote"));
    note_->setGeometry(du.rect(38, 95, 270, 10));

    refresh_ = new QPushButton(tr("&Refresh"), device_group_);
    refresh_->setGeometry(du.rect(6, 108, 50, 14));
    connect(refresh_, &QPushButton::clicked, this, &CDlgRS232::refreshPorts);
    find_ = new QPushButton(tr("&Find unit"), device_group_);
    find_->setObjectName(QStringLiteral("findUnit"));
    find_->setGeometry(du.rect(60, 108, 50, 14));
    find_->setToolTip(tr("Ask each free port for the unit, one second each"));
    find_->setVisible(model_ != nullptr);
    connect(find_, &QPushButton::clicked, this, &CDlgRS232::findUnit);

    status_ = new QLabel(device_group_);
    status_->setObjectName(QStringLiteral("portStatus"));
    status_->setGeometry(du.rect(6, 124, 302, 22));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);  // the fix is a command to copy

    for (int i = 0; i < 4; ++i) devices_[i] = stored_[i] = StoredDevice(i + 1);

    // A stored number outside 1..4 leaves every button clear.
    if (QRadioButton* b = portButton(StoredPort())) b->setChecked(true);
    refreshPorts();
    ScrollWhenTooLarge(this, du.size(330, 276));
}

QRadioButton* CDlgRS232::portButton(int port) const { return port >= 1 && port <= 4 ? buttons_[port - 1] : nullptr; }

int CDlgRS232::selectedPort() const {
    for (int i = 0; i < 4; ++i)
        if (buttons_[i]->isChecked()) return i + 1;
    return 0;
}

QString CDlgRS232::chosenDevice(int port) const { return port >= 1 && port <= 4 ? devices_[port - 1] : QString(); }

void CDlgRS232::setPortSystem(kvports::PortSystem* system) {
    system_ = system != nullptr ? system : &kvports::HostSystem();
    refreshPorts();
}

std::vector<CDlgRS232::Row> CDlgRS232::gatherRows() {
    std::vector<Row> rows;
    const std::vector<kvports::PortInfo> ports = kvports::ListPorts(*system_);
    for (const kvports::PortInfo& p : ports) rows.push_back({p, Q(p.RememberedPath()), Q(kvports::Describe(p))});
    // Remembered devices the enumeration does not show: an adapter that is
    // not plugged in, a pseudo-terminal, a name of the user's own.
    for (int i = 0; i < 4; ++i) {
        const QString& d = devices_[i];
        if (d.isEmpty() || kvports::FindPort(*system_, ports, S(d)) != nullptr) continue;
        bool listed = false;
        for (const Row& r : rows) listed = listed || r.remembered == d;
        if (listed) continue;
        Row r;
        r.port.path = S(d);
        r.remembered = d;
        r.note = tr("remembered for COM%1").arg(i + 1);
        rows.push_back(r);
    }
    // The link's own device, wherever the link was told to find it.
    const QString link = LinkDevice();
    bool listed = link.isEmpty();
    for (const Row& r : rows) listed = listed || kvports::SameDevice(*system_, r.port.path, S(link));
    if (!listed) {
        Row r;
        r.port.path = S(link);
        r.remembered = link;
        r.note = tr("the link of COM%1").arg(static_cast<int>(npTTYInfo->port_number));
        rows.push_back(r);
    }
    return rows;
}

void CDlgRS232::refreshPorts() {
    rows_ = gatherRows();
    fillList();
    showDevice();
}

void CDlgRS232::fillList(const std::vector<QString>& results) {
    filling_ = true;
    list_->clear();
    const std::string link = S(LinkDevice());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& r = rows_[i];
        const kvports::PortState state = kvports::CheckPort(*system_, r.port.path, link);
        const QString state_text = i < results.size() ? results[i] : Q(kvports::StateText(state));
        auto* item = new QTreeWidgetItem(list_);
        item->setText(kColPort, ShortName(Q(r.port.path)));
        item->setText(kColDescription, r.note);
        item->setText(kColState, state_text);
        item->setData(kColPort, Qt::UserRole, r.remembered);
        item->setData(kColState, Qt::UserRole, Q(kvports::StateAdvice(state)));
        QString tip = r.remembered;
        if (r.remembered != Q(r.port.path)) tip += QStringLiteral("\n→ ") + Q(r.port.path);
        tip += QStringLiteral("\n") + Q(kvports::StateText(state));
        item->setToolTip(kColPort, tip);
        item->setToolTip(kColDescription, r.note);
        item->setToolTip(kColState, Q(kvports::StateText(state) + "\n" + kvports::StateAdvice(state)).trimmed());
    }
    filling_ = false;
}

void CDlgRS232::selectRowOf(const QString& device) {
    filling_ = true;
    list_->clearSelection();
    const kvports::PortInfo* port = nullptr;
    std::vector<kvports::PortInfo> ports;
    for (const Row& r : rows_) ports.push_back(r.port);
    if (!device.isEmpty()) port = kvports::FindPort(*system_, ports, S(device));
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        const bool match = port != nullptr ? Q(rows_[static_cast<std::size_t>(i)].port.path) == Q(port->path)
                                           : item->data(kColPort, Qt::UserRole).toString() == device;
        if (match && !device.isEmpty()) {
            item->setSelected(true);
            list_->scrollToItem(item);
            status_->setText(item->data(kColState, Qt::UserRole).toString());
            break;
        }
    }
    filling_ = false;
}

void CDlgRS232::showDevice() {
    const int port = selectedPort();
    device_group_->setEnabled(port != 0);
    if (port == 0) {
        device_group_->setTitle(tr("Device"));
        edit_->clear();
        note_->clear();
        return;
    }
    device_group_->setTitle(tr("Device of COM%1").arg(port));
    edit_->setText(devices_[port - 1]);
    edit_->setPlaceholderText(QStringLiteral("/dev/ttyS%1").arg(port - 1));
    const QByteArray variable = QStringLiteral("KVCOM_COM%1").arg(port).toLatin1();
    if (qEnvironmentVariableIsSet(variable.constData()) && !qEnvironmentVariableIsEmpty(variable.constData())) {
        note_->setText(tr("%1 is set: COM%2 opens %3")
                           .arg(QString::fromLatin1(variable))
                           .arg(port)
                           .arg(qEnvironmentVariable(variable.constData())));
    } else {
        note_->clear();
    }
    status_->clear();
    selectRowOf(devices_[port - 1]);
}

void CDlgRS232::onRowChosen() {
    if (filling_) return;
    const int port = selectedPort();
    const QList<QTreeWidgetItem*> chosen = list_->selectedItems();
    if (port == 0 || chosen.isEmpty()) return;
    devices_[port - 1] = chosen.first()->data(kColPort, Qt::UserRole).toString();
    edit_->setText(devices_[port - 1]);
    status_->setText(chosen.first()->data(kColState, Qt::UserRole).toString());
}

void CDlgRS232::onEdited(const QString& text) {
    const int port = selectedPort();
    if (port == 0) return;
    devices_[port - 1] = text.trimmed();
    status_->clear();
    selectRowOf(devices_[port - 1]);
}

void CDlgRS232::findUnit() {
    if (model_ == nullptr || DeviceTaskRunning()) return;
    // The link stays as it is: its own port is never opened or asked (that
    // would drop it for a moment), and the unit is known to be there. OK
    // applies the choice.
    const std::string link = S(LinkDevice());

    std::vector<Row> rows = gatherRows();
    std::vector<kvports::PortInfo> ports;
    for (const Row& r : rows) ports.push_back(r.port);
    kvports::PortSystem* system = system_;
    kvports::FindResult found;
    RunDeviceTask(this, tr("Looking for the unit..."), *model_, [&](CDSDATA&, DeviceTaskProgress& progress) {
        found = kvports::FindUnit(
            *system, ports, [](const std::string& path, int ms) { return ProbeUnit(path.c_str(), ms); },
            kProbeTimeoutMs,
            [&progress](std::size_t i, std::size_t n, const kvports::PortInfo& p) {
                progress.Report(static_cast<int>(i), static_cast<int>(n),
                                tr("Asking %1 for the unit...").arg(Q(p.path)));
            },
            link);
        return found.found >= 0 ? 1 : 0;
    });

    // One result per row, in the rows' order.
    rows_ = std::move(rows);
    std::vector<QString> results;
    for (const kvports::ProbeResult& r : found.results) results.push_back(Q(kvports::ResultText(r)));
    fillList(results);
    const int port = selectedPort();
    if (found.found < 0) {
        status_->setText(ports.empty() ? tr("There is no serial port on this machine.")
                                       : tr("The unit did not answer on any free port."));
        selectRowOf(port != 0 ? devices_[port - 1] : QString());
        return;
    }
    const kvports::ProbeResult& hit = found.results[static_cast<std::size_t>(found.found)];
    const kvports::PortInfo& at = hit.port;
    if (port != 0) devices_[port - 1] = Q(at.RememberedPath());
    showDevice();
    const QString where = hit.outcome == kvports::ProbeOutcome::kLink
                              ? tr("The unit is on %1, where this program's link is open.").arg(Q(at.path))
                              : tr("The unit answered on %1.").arg(Q(at.path));
    status_->setText(port != 0 ? tr("%1 OK uses it for COM%2.").arg(where).arg(port)
                               : tr("%1 Choose a COM port for it.").arg(where));
}

void CDlgRS232::accept() {
    // A typed device that cannot be a serial port changes nothing at all.
    QString chosen[4];
    for (int i = 0; i < 4; ++i) {
        chosen[i] = devices_[i];
        if (chosen[i] == stored_[i] || chosen[i].isEmpty()) continue;
        if (const auto problem = kvports::DevicePathProblem(*system_, S(chosen[i]))) {
            ShowMessage(this, QMessageBox::Warning, windowTitle(),
                        tr("Cannot use %1 for COM%2: %3.").arg(chosen[i]).arg(i + 1).arg(RefusalReason(*problem)));
            return;
        }
        // Remembered by its stable name, so replugging elsewhere keeps it.
        const std::string stable = kvports::StablePathOf(*system_, S(chosen[i]));
        if (!stable.empty()) chosen[i] = Q(stable);
    }

    CloseConnection();
    port_changed_ = true;
    rs232_port = selectedPort();
    StorePort(rs232_port);
    for (int i = 0; i < 4; ++i) {
        if (chosen[i] == stored_[i]) continue;
        StoreDevice(i + 1, chosen[i]);
        stored_[i] = devices_[i] = chosen[i];
    }
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
