#include "settings/port_problem.h"

#include <QFile>
#include <QMessageBox>

#include <errno.h>
#include <grp.h>
#include <sys/stat.h>

#include <kvcom/kvcom.h>

#include "widgets/string_table.h"

namespace {

bool PermissionRefused(int error) { return error == EACCES || error == EPERM; }

}  // namespace

PortState ProbePort(int port) {
    PortState state;
    char path[256] = {0};
    PortDevicePath(port, path, sizeof path);
    state.path = QFile::decodeName(path);
    state.error = LinkLastError();
    // The cause is the library's; the device node only names whom to ask.
    struct stat st {};
    if (PermissionRefused(state.error) && ::stat(path, &st) == 0) {
        if (const group* g = ::getgrgid(st.st_gid)) state.group = QString::fromLocal8Bit(g->gr_name);
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
        return QObject::tr("You have no permission to use %1. Ask for your account to be added to the "
                           "group \"%2\" that owns it, then log in again.")
            .arg(state.path, state.group);
    }
    return QObject::tr("%1: %2").arg(state.path, QString::fromUtf8(LinkErrorMessage(state.error)));
}

void ShowConnectionFailed(QWidget* parent, int port) {
    QMessageBox box(QMessageBox::Critical, LoadProgramString(IDS_APP_CAPTION), LoadProgramString(IDS_RS232_FAILED),
                    QMessageBox::Ok, parent);
    box.setInformativeText(PortProblemText(ProbePort(port)));
    box.exec();
}
