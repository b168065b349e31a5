#include "settings/port_problem.h"

#include <QFile>
#include <QMessageBox>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <kvcom/kvcom.h>

#include "widgets/string_table.h"

PortState ProbePort(int port) {
    PortState state;
    char path[256] = {0};
    PortDevicePath(port, path, sizeof path);
    state.path = QFile::decodeName(path);
    struct stat st {};
    if (port < 1 || ::stat(path, &st) != 0) return state;
    state.exists = true;
    state.readable_writable = ::access(path, R_OK | W_OK) == 0;
    if (const group* g = ::getgrgid(st.st_gid)) state.group = QString::fromLocal8Bit(g->gr_name);
    return state;
}

QString PortProblemText(const PortState& state) {
    if (state.path.isEmpty()) return QString();
    if (!state.exists)
        return QObject::tr("There is no device %1. Check the cable or adapter, or choose another port.")
            .arg(state.path);
    if (!state.readable_writable) {
        if (state.group.isEmpty() || state.group == QLatin1String("root"))
            return QObject::tr("You have no permission to use %1.").arg(state.path);
        return QObject::tr("You have no permission to use %1. Ask for your account to be added to the "
                           "group \"%2\" that owns it, then log in again.")
            .arg(state.path, state.group);
    }
    return QString();
}

void ShowConnectionFailed(QWidget* parent, int port) {
    QMessageBox box(QMessageBox::Critical, LoadProgramString(IDS_APP_CAPTION), LoadProgramString(IDS_RS232_FAILED),
                    QMessageBox::Ok, parent);
    box.setInformativeText(PortProblemText(ProbePort(port)));
    box.exec();
}
