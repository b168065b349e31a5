// Ports on the loopback address that the kernel had free a moment ago, for
// servers started by the tests (0 when none could be had).
#pragma once

#include <QHostAddress>
#include <QTcpServer>
#include <QUdpSocket>

inline quint16 FreeTcpPort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

inline quint16 FreeUdpPort() {
    QUdpSocket probe;
    return probe.bind(QHostAddress::LocalHost, 0) ? probe.localPort() : 0;
}
