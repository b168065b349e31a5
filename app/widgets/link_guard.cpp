#include "widgets/link_guard.h"

#include <QFile>
#include <QMessageBox>

#include <kvcom/kvcom.h>

#include "widgets/link_text.h"
#include "widgets/message_box.h"
#include "widgets/string_table.h"

LinkState CurrentLinkState() {
    LinkState state;
    state.port = rs232_port & 0xFF;  // the library uses the low byte
    char path[256] = {0};
    PortDevicePath(state.port, path, sizeof path);
    state.path = QFile::decodeName(path);
    state.connected = LinkConnected() != 0;
    if (!state.connected) state.reason = QString::fromUtf8(LinkErrorMessage(LinkLastError()));
    return state;
}

bool UnitConnected() { return LinkConnected() != 0; }

QString NotConnectedMessage() {
    const LinkState s = CurrentLinkState();
    return QString::fromStdString(
        linktext::NotConnectedText(s.port, QFile::encodeName(s.path).toStdString(), s.reason.toStdString()));
}

QString WhyOperationStopped() {
    const LinkState s = CurrentLinkState();
    if (s.connected && LastReplyDamaged())
        return QObject::tr("The unit's reply arrived damaged, so nothing of it was taken. Try again.");
    if (s.connected) return QObject::tr("The unit did not answer in time.");
    return QObject::tr(
               "The link to the unit on COM%1 (%2) was lost: %3 Check the cable and that the unit is "
               "switched on, or choose the port in Config > RS232.")
        .arg(s.port)
        .arg(s.path, s.reason);
}

QString DamageNote() { return LastReplyDamaged() ? QStringLiteral("\n") + WhyOperationStopped() : QString(); }

bool CheckUnitConnected(QWidget* parent) {
    if (UnitConnected()) return true;
    ShowMessage(parent, QMessageBox::Warning, LoadProgramString(IDS_APP_CAPTION), NotConnectedMessage());
    return false;
}
