#include "remote/dlg_remote.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "kvremote/access.h"
#include "kvremote/server.h"
#include "remote/qr_code.h"
#include "remote/remote_control.h"
#include "widgets/dialog_units.h"
#include "widgets/screen_fit.h"

namespace {

// The QR code's room: a symbol of up to 41 modules (the longest address
// with a token) and its quiet zone at 3 points a module.
constexpr int kQrModulePoints = 3;
constexpr int kQrRoomModules = 41 + 2 * remote::kQrQuietModules;

QString AddressCaption(const QString& address) {
    if (address == QLatin1String(remote::kAllAddresses)) return CDlgRemote::tr("All addresses of this computer");
    if (remote::IsLoopbackSetting(address)) return CDlgRemote::tr("%1 (this computer only)").arg(address);
    return address;
}

}  // namespace

CDlgRemote::CDlgRemote(remote::RemoteControl& control, QWidget* parent) : QDialog(parent), control_(control) {
    setWindowTitle(tr("Remote control"));
    setFont(DialogUnits::DialogFont());

    enabled_ = new QCheckBox(tr("&Serve the unit to show control (web page, HTTP API, OSC)"));
    enabled_->setObjectName(QStringLiteral("enabled"));
    address_ = new QComboBox;
    address_->setObjectName(QStringLiteral("address"));
    for (const QString& a : remote::MachineAddresses()) address_->addItem(AddressCaption(a), a);
    address_->addItem(AddressCaption(QLatin1String(remote::kAllAddresses)), QLatin1String(remote::kAllAddresses));
    http_port_ = new QSpinBox;
    http_port_->setObjectName(QStringLiteral("httpPort"));
    http_port_->setRange(1, 65535);
    osc_port_ = new QSpinBox;
    osc_port_->setObjectName(QStringLiteral("oscPort"));
    osc_port_->setRange(0, 65535);
    osc_port_->setSpecialValueText(tr("none"));
    osc_port_->setToolTip(tr("The UDP port of OSC; none for no OSC"));

    // Tokens are read off the screen into show-control software: a fixed
    // pitch, wide enough for all 32 digits.
    auto token_edit = [](const char* name) {
        auto* edit = new QLineEdit;
        edit->setObjectName(QLatin1String(name));
        edit->setReadOnly(true);
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        fixed.setPointSizeF(DialogUnits::DialogFont().pointSizeF());
        edit->setFont(fixed);
        edit->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QString(32, QLatin1Char('0'))) + 12);
        edit->setPlaceholderText(tr("none"));
        return edit;
    };
    token_ = token_edit("token");
    token_->setToolTip(tr("Changes the unit: sent as \"Authorization: Bearer <token>\""));
    read_only_token_ = token_edit("readOnlyToken");
    read_only_token_->setToolTip(tr("May watch the unit and change nothing"));
    new_token_ = new QPushButton(tr("&New token"));
    new_token_->setObjectName(QStringLiteral("newToken"));
    new_token_->setToolTip(tr("A new random token of 128 bits; the one before stops working once you press OK"));
    new_read_only_token_ = new QPushButton(tr("Ne&w token"));
    new_read_only_token_->setObjectName(QStringLiteral("newReadOnlyToken"));
    new_read_only_token_->setToolTip(tr("A new random read-only token of 128 bits"));
    auto remove_button = [](const char* name, const QString& tip) {
        auto* b = new QToolButton;
        b->setObjectName(QLatin1String(name));
        b->setText(QStringLiteral("\u00D7"));
        b->setToolTip(tip);
        b->setAccessibleName(tip);
        return b;
    };
    no_token_ = remove_button("noToken", tr("No token: only the loopback address goes without one"));
    no_read_only_token_ = remove_button("noReadOnlyToken", tr("No read-only token"));
    for (QPushButton* b : {new_token_, new_read_only_token_}) b->setAutoDefault(false);

    allow_reset_ = new QCheckBox(tr("Allow operations that &reset the unit"));
    allow_reset_->setObjectName(QStringLiteral("allowReset"));
    allow_reset_->setToolTip(
        tr("A new configuration or stereo link, a Download and a Store may then be asked over the network"));
    page_ = new QLineEdit;
    page_->setObjectName(QStringLiteral("page"));
    page_->setReadOnly(true);
    note_ = new QLabel;
    note_->setObjectName(QStringLiteral("note"));
    note_->setWordWrap(true);
    note_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for the longest note, so the window keeps its size as it changes.
    note_->setMinimumHeight(3 * note_->fontMetrics().lineSpacing());

    auto* form = new QGridLayout;
    int row = 0;
    form->addWidget(enabled_, row++, 0, 1, 4);
    auto add_row = [&](const QString& caption, QWidget* field, QWidget* a = nullptr, QWidget* b = nullptr,
                       QWidget* buddy = nullptr) {
        auto* label = new QLabel(caption);
        label->setBuddy(buddy ? buddy : field);
        form->addWidget(label, row, 0);
        form->addWidget(field, row, 1, 1, a ? 1 : 3);
        if (a) form->addWidget(a, row, 2);
        if (b) form->addWidget(b, row, 3);
        ++row;
    };
    add_row(tr("&Address:"), address_);
    auto* ports = new QWidget;
    auto* ports_row = new QHBoxLayout(ports);
    ports_row->setContentsMargins(0, 0, 0, 0);
    ports_row->addWidget(http_port_);
    auto* osc_label = new QLabel(tr("&OSC port:"));
    osc_label->setBuddy(osc_port_);
    ports_row->addSpacing(DialogUnits().x(8));
    ports_row->addWidget(osc_label);
    ports_row->addWidget(osc_port_);
    ports_row->addStretch(1);
    add_row(tr("&HTTP port:"), ports, nullptr, nullptr, http_port_);
    add_row(tr("&Token:"), token_, new_token_, no_token_);
    add_row(tr("Rea&d-only token:"), read_only_token_, new_read_only_token_, no_read_only_token_);
    add_row(tr("&Page:"), page_);
    form->addWidget(allow_reset_, row++, 0, 1, 4);
    form->addWidget(note_, row++, 0, 1, 4);
    form->setRowStretch(row, 1);
    form->setColumnStretch(1, 1);

    qr_ = new QLabel;
    qr_->setObjectName(QStringLiteral("qrCode"));
    qr_->setFixedSize(kQrRoomModules * kQrModulePoints, kQrRoomModules * kQrModulePoints);
    qr_->setAlignment(Qt::AlignCenter);
    qr_->setWordWrap(true);
    watch_only_ = new QCheckBox(tr("W&atch only"));
    watch_only_->setObjectName(QStringLiteral("watchOnly"));
    watch_only_->setToolTip(
        tr("The QR code carries the read-only token: the tablet sees every change and changes nothing"));
    auto* tablet = new QVBoxLayout;
    tablet->addWidget(new QLabel(tr("For a tablet:")));
    tablet->addWidget(qr_);
    tablet->addWidget(watch_only_);
    tablet->addStretch(1);

    auto* content = new QWidget;
    auto* columns = new QHBoxLayout(content);
    columns->addLayout(form, 1);
    columns->addSpacing(DialogUnits().x(4));
    columns->addLayout(tablet);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgRemote::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDlgRemote::reject);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(new FittingScrollArea(content, this), 1);
    outer->addWidget(buttons);

    connect(new_token_, &QPushButton::clicked, this, [this] {
        token_->setText(QString::fromStdString(kvremote::NewToken()));
        UpdatePage();
    });
    connect(no_token_, &QPushButton::clicked, this, [this] {
        token_->clear();
        UpdatePage();
    });
    connect(new_read_only_token_, &QPushButton::clicked, this, [this] {
        read_only_token_->setText(QString::fromStdString(kvremote::NewToken()));
        UpdatePage();
    });
    connect(no_read_only_token_, &QPushButton::clicked, this, [this] {
        read_only_token_->clear();
        UpdatePage();
    });
    connect(enabled_, &QCheckBox::toggled, this, &CDlgRemote::UpdatePage);
    connect(address_, &QComboBox::currentIndexChanged, this, &CDlgRemote::UpdatePage);
    connect(http_port_, &QSpinBox::valueChanged, this, &CDlgRemote::UpdatePage);
    connect(osc_port_, &QSpinBox::valueChanged, this, &CDlgRemote::UpdatePage);
    connect(watch_only_, &QCheckBox::toggled, this, &CDlgRemote::UpdatePage);

    // What runs now; the stored settings when nothing was applied yet.
    Show(control_.Running() ? control_.settings() : remote::ReadRemoteSettings());
    FitToScreen(this, layout()->sizeHint());
}

void CDlgRemote::SelectAddress(const QString& address) {
    int index = address_->findData(address);
    if (index < 0) {
        // Stored, but the machine has it no more (another network).
        address_->addItem(tr("%1 (not found on this computer)").arg(address), address);
        index = address_->count() - 1;
    }
    address_->setCurrentIndex(index);
}

void CDlgRemote::Show(const remote::RemoteSettings& s) {
    enabled_->setChecked(s.enabled);
    SelectAddress(s.address);
    http_port_->setValue(s.http_port);
    osc_port_->setValue(s.osc_port);
    token_->setText(s.token);
    read_only_token_->setText(s.read_only_token);
    allow_reset_->setChecked(s.allow_reset);
    UpdatePage();
}

remote::RemoteSettings CDlgRemote::Settings() const {
    remote::RemoteSettings s;
    s.enabled = enabled_->isChecked();
    s.address = address_->currentData().toString();
    s.http_port = static_cast<quint16>(http_port_->value());
    s.osc_port = static_cast<quint16>(osc_port_->value());
    s.token = token_->text();
    s.read_only_token = read_only_token_->text();
    s.allow_reset = allow_reset_->isChecked();
    return s;
}

void CDlgRemote::UpdatePage() {
    const remote::RemoteSettings s = Settings();
    note_->setStyleSheet(QString());
    no_token_->setEnabled(!s.token.isEmpty());
    no_read_only_token_->setEnabled(!s.read_only_token.isEmpty());
    watch_only_->setEnabled(s.enabled && !s.read_only_token.isEmpty());
    if (!s.enabled) {
        note_->setText(
            tr("Off: nothing is served. On, browsers, show-control software and OSC senders can follow "
               "and change the unit through 758."));
        page_->clear();
        page_->setToolTip(QString());
        qr_->setPixmap(QPixmap());
        qr_->setText(tr("Off"));
        return;
    }
    const bool loopback = remote::IsLoopbackSetting(s.address);
    if (const auto problem = remote::StartProblem(s)) {
        note_->setText(*problem);
    } else if (loopback) {
        note_->setText(s.token.isEmpty()
                           ? tr("This computer only: programs on it need no token, and no other machine can reach "
                                "the server.")
                           : tr("This computer only: programs on it send the token (Authorization: Bearer)."));
    } else {
        note_->setText(
            tr("Programs send the token as \"Authorization: Bearer <token>\"; a browser takes it once from "
               "the page's address, as in the QR code."));
    }
    if (control_.Running() && control_.settings() == s)
        note_->setText(note_->text() + QLatin1Char('\n') + control_.PaneText());

    const bool watch = watch_only_->isEnabled() && watch_only_->isChecked();
    const QString url = remote::PageAddress(s, s.http_port, watch ? s.read_only_token : s.token);
    page_->setText(url);
    page_->setCursorPosition(0);
    page_->setToolTip(url);
    if (loopback) {
        qr_->setPixmap(QPixmap());
        qr_->setText(tr("A tablet cannot reach %1: choose another address.").arg(s.address));
        return;
    }
    const QPixmap code = remote::QrPixmap(url.toUtf8(), kQrModulePoints, qr_->devicePixelRatioF());
    qr_->setText(QString());
    qr_->setPixmap(code);
}

void CDlgRemote::accept() {
    const remote::RemoteSettings s = Settings();
    auto refuse = [this](const QString& why) {
        note_->setText(why);
        note_->setStyleSheet(QStringLiteral("color: #b00020"));
    };
    if (s.enabled) {
        if (const auto problem = remote::StartProblem(s)) return refuse(*problem);
    }
    QString why;
    if (!remote::WriteRemoteSettings(s, &why)) return refuse(why);
    // A server already running as asked goes on, with its clients.
    const bool unchanged = s == control_.settings() && control_.Running() == s.enabled;
    if (!unchanged && !control_.Apply(s, &why)) return refuse(why);
    QDialog::accept();
}
