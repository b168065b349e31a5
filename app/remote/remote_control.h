// The remote-control server as 758 runs it: the host on the document, the
// server started and stopped as the settings say (at start-up too), and the
// short text of its pane in the status bar.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "remote/remote_settings.h"

class CMy758Doc;
class QWidget;

namespace kvremote {
class RemoteServer;
}

namespace remote {

class DeskHost;

class RemoteControl : public QObject {
    Q_OBJECT

public:
    // `window`: where the progress of long operations asked over the
    // network shows.
    RemoteControl(CMy758Doc& doc, QWidget* window, QObject* parent = nullptr);
    ~RemoteControl() override;

    // Runs the server as `settings` say: stopped when off, (re)started when
    // on. False, with the reason in the user's words, when it should run
    // and cannot (a token missing, a port taken); it is stopped then.
    bool Apply(const RemoteSettings& settings, QString* why);
    // At start-up: the stored settings. A settings file that holds a token
    // is made the user's alone first.
    bool StartFromSettings(QString* why);
    void Stop();
    bool Running() const;
    // The settings last applied.
    const RemoteSettings& settings() const { return settings_; }

    kvremote::RemoteServer& server() { return *server_; }
    DeskHost& host() { return *host_; }

    // "Remote: on", "Remote: 2 clients"; empty while the server is off.
    QString PaneText() const;
    // The page's address and the OSC port, for the pane's tooltip.
    QString PaneToolTip() const;

public slots:
    // The link changed (the frame's link watch): the clients are told.
    void LinkChanged();

signals:
    // Started, stopped, or a client came or went.
    void stateChanged();

private:
    RemoteSettings settings_;
    std::unique_ptr<DeskHost> host_;
    std::unique_ptr<kvremote::RemoteServer> server_;  // after the host: it holds it
};

}  // namespace remote
