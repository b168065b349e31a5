#include "settings/port_problem.h"

#include <QFile>
#include <QMessageBox>

#include <errno.h>
#include <grp.h>
#include <sys/stat.h>

#include <kvcom/kvcom.h>
#include <kvports/ports.h>

#include "widgets/message_box.h"
#include "widgets/string_table.h"

namespace {

bool PermissionRefused(int error) { return error == EACCES || error == EPERM; }

}  // namespace

PortState ProbePort(int port) {
    PortState state;
    char path[4096] = {0};
    PortDevicePath(port, path, sizeof path);
    state.path = QFile::decodeName(path);
    state.error = LinkLastError();
    // The cause is the library's; the system only names whom to ask or who
    // holds the device.
    if (PermissionRefused(state.error)) {
        struct stat st {};
        if (::stat(path, &st) == 0) {
            if (const group* g = ::getgrgid(st.st_gid)) state.group = QString::fromLocal8Bit(g->gr_name);
        }
    } else if (state.error == EBUSY) {
        kvports::PortState busy;
        busy.condition = kvports::Condition::kBusy;
        kvports::PortSystem& sys = kvports::HostSystem();
        busy.holders = sys.Holders(sys.Inspect(path).rdev);
        if (!busy.holders.empty()) {
            // "busy: minicom (PID 4242)" without its first word.
            const std::string text = kvports::StateText(busy);
            state.holders = QString::fromStdString(text.substr(text.find(": ") + 2));
        }
    }
    return state;
}

QString PortProblemText(const PortState& state) {
    if (state.path.isEmpty() || state.error == 0) return QString();
    if (state.error == ENOENT)
        return QObject::tr("There is no device %1. Check the cable or adapter, or choose another port.")
            .arg(state.path);
    if (PermissionRefused(state.error)) {
        if (state.group.isEmpty() || state.group == QLatin1String("root"))
            return QObject::tr("You have no permission to use %1.").arg(state.path);
        return QObject::tr(
                   "You have no permission to use %1, which belongs to the group \"%2\". Run: "
                   "sudo usermod -aG %2 $USER, then log out and in again.")
            .arg(state.path, state.group);
    }
    if (state.error == EBUSY && !state.holders.isEmpty())
        return QObject::tr("%1 is in use by %2.").arg(state.path, state.holders);
    return QObject::tr("%1: %2").arg(state.path, QString::fromUtf8(LinkErrorMessage(state.error)));
}

void ShowConnectionFailed(QWidget* parent, int port) {
    QMessageBox box(QMessageBox::Critical, LoadProgramString(IDS_APP_CAPTION), LoadProgramString(IDS_RS232_FAILED),
                    QMessageBox::Ok, parent);
    box.setInformativeText(PortProblemText(ProbePort(port)));
    PrepareMessageBox(box);
    box.exec();
}
