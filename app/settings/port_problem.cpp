#include "settings/port_problem.h"

#include <QMessageBox>

#include <kvcom/kvcom.h>

#include "widgets/message_box.h"
#include "widgets/string_table.h"

kvports::OpenFailure ProbePort(int port) {
    char path[4096] = {0};
    PortDevicePath(port, path, sizeof path);
    return kvports::DiagnoseOpenFailure(kvports::HostSystem(), path, LinkLastError());
}

QString PortProblemText(const kvports::OpenFailure& failure) {
    return QString::fromStdString(kvports::OpenFailureText(failure, LinkErrorMessage(failure.error)));
}

void ShowConnectionFailed(QWidget* parent, int port) {
    QMessageBox box(QMessageBox::Critical, LoadProgramString(IDS_APP_CAPTION), LoadProgramString(IDS_RS232_FAILED),
                    QMessageBox::Ok, parent);
    box.setInformativeText(PortProblemText(ProbePort(port)));
    PrepareMessageBox(box);
    box.exec();
}
