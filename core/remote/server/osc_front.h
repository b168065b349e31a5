// OSC over UDP: packets decoded and encoded with liblo, their commands
// carried out through the RequestHandler, queries answered to the sender,
// and changes pushed to the senders that subscribed in the last 10 seconds.
#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>
#include <vector>

#include "kvremote/osc_codec.h"
#include "kvremote/osc_map.h"
#include "kvremote/request.h"

namespace kvremote {

class OscFront : public QObject {
    Q_OBJECT

public:
    OscFront(Host& host, RequestHandler& handler, QObject* parent = nullptr);

    bool Listen(const QHostAddress& address, quint16 port, QString* why);
    quint16 Port() const { return socket_.localPort(); }

    // Sends the changed settings of the address space to every live
    // subscriber.
    void Push(const std::vector<kvprog::SettingRef>& changed);

private:
    struct Subscriber {
        QHostAddress address;
        quint16 port;
        QElapsedTimer since;
    };

    void ReadPending();
    void Carry(const OscPacketMessage& message, const QHostAddress& from, quint16 port);
    void Reply(const QHostAddress& to, quint16 port, const std::string& address, const std::vector<OscArg>& args);

    Host& host_;
    RequestHandler& handler_;
    QUdpSocket socket_;
    std::vector<Subscriber> subscribers_;
};

}  // namespace kvremote
