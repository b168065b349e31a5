#include "remote/remote_control.h"

#include <QCoreApplication>

#include "kvremote/server.h"
#include "remote/desk_host.h"

namespace remote {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("RemoteControl", text); }

}  // namespace

RemoteControl::RemoteControl(CMy758Doc& doc, QWidget* window, QObject* parent)
    : QObject(parent),
      host_(std::make_unique<DeskHost>(doc, window)),
      server_(std::make_unique<kvremote::RemoteServer>(*host_)) {
    connect(server_.get(), &kvremote::RemoteServer::clientsChanged, this, &RemoteControl::stateChanged);
}

RemoteControl::~RemoteControl() {
    // Nobody hears of the clients going: the windows that listened are
    // going too.
    server_->disconnect(this);
    host_->SetServer(nullptr);
    server_.reset();
}

bool RemoteControl::Apply(const RemoteSettings& settings, QString* why) {
    settings_ = settings;
    Stop();
    if (!settings.enabled) return true;
    if (const auto problem = StartProblem(settings)) {
        if (why) *why = *problem;
        return false;
    }
    QString error;
    if (!server_->Start(OptionsOf(settings), &error)) {
        if (why)
            *why =
                Tr("The server did not start: %1.\nChoose another port, or end the program that uses it.").arg(error);
        return false;
    }
    host_->SetServer(server_.get());
    emit stateChanged();
    return true;
}

bool RemoteControl::StartFromSettings(QString* why) {
    const RemoteSettings stored = ReadRemoteSettings();
    if ((!stored.token.isEmpty() || !stored.read_only_token.isEmpty()) && !SettingsFileIsPrivate() &&
        !MakeSettingsFilePrivate(why))
        return false;
    return Apply(stored, why);
}

void RemoteControl::Stop() {
    // Answers still due to clients of this run are not given any more.
    host_->SetServer(nullptr);
    if (!server_->Running()) return;
    server_->Stop();
    emit stateChanged();
}

bool RemoteControl::Running() const { return server_->Running(); }

QString RemoteControl::PaneText() const {
    if (!Running()) return {};
    const int clients = server_->WebSocketClients();
    if (clients == 0) return Tr("Remote: on");
    return clients == 1 ? Tr("Remote: 1 client") : Tr("Remote: %1 clients").arg(clients);
}

QString RemoteControl::PaneToolTip() const {
    if (!Running()) return {};
    QString tip = Tr("Remote control on %1").arg(PageAddress(settings_, server_->HttpPort(), QString()));
    if (server_->OscPort() != 0) tip += Tr(", OSC on UDP port %1").arg(server_->OscPort());
    return tip;
}

void RemoteControl::LinkChanged() { host_->LinkChanged(); }

}  // namespace remote
