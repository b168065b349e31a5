// The remote-control server's host in 758. It serves the document's own
// program (what the windows show), says when that may differ from the
// unit's, and takes every remote edit down the path of an edit at the desk:
// into the model, through the program's one device line (latest value
// wins), into the undo history marked with its source. Open windows follow
// the model, so they show a remote edit at once. Long operations asked over
// the network run as device tasks at the desk, with their progress window;
// while one runs, or an operation at the desk holds the unit, the server
// answers that the unit is busy.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "kvremote/host.h"

class CMy758Doc;
class QWidget;

namespace device {
class UnitState;
}
namespace kvremote {
class RemoteServer;
}

namespace remote {

class DeskHost : public QObject, public kvremote::Host {
    Q_OBJECT

public:
    // `window`: where the progress of long operations shows (over the modal
    // window on top, if any).
    DeskHost(CMy758Doc& doc, QWidget* window, QObject* parent = nullptr);
    ~DeskHost() override;

    // The server to tell of changes; nullptr while none runs. The answers
    // of long operations asked through an earlier server are not given.
    void SetServer(kvremote::RemoteServer* server);

    // The link opened, closed, or says another reason (the frame's watch).
    void LinkChanged();

    kvremote::UnitState Unit() override;
    const CDSDATA& Program() override;
    kvremote::MemoryList Memories() override { return memories_; }
    void Apply(const CDSDATA& program, const std::vector<kvprog::SettingRef>& changed,
               kvremote::Source source) override;
    void Recall(int memory, kvremote::Source source, kvremote::Done done) override;
    void RefreshMemories(kvremote::Done done) override;
    void Store(int memory, const std::string& name, kvremote::Done done) override;
    void Download(const CDSDATA& program, kvremote::Done done) override;

    // The state UnitState::differs gives now.
    std::string differs() const;

private:
    // A change of the model made at the desk: the clients hear of it once
    // the event loop runs again, however many came.
    void Touched();
    // Tells the clients what changed in the program now.
    void Flush(kvremote::Source source);
    void TellUnit();
    void UpdateDiffers();
    void ReadMemoryTable();
    void SetCurrentMemory(int memory);

    // Runs `operation` after the request that asked for it has returned,
    // with the unit marked busy as `busy` meanwhile, then answers `done`
    // with what it returned.
    void Later(const std::string& busy, kvremote::Done done, std::function<std::optional<kvcore::Refusal>()> operation);
    std::optional<kvcore::Refusal> NoAnswer(const std::string& what) const;
    QWidget* ProgressParent() const;
    // Config and link from the network: the unit resets every setting.
    void ApplyFiguration(const CDSDATA& program, const std::vector<kvprog::SettingRef>& changed,
                         kvremote::Source source);

    CMy758Doc& doc_;
    QWidget* window_;
    kvremote::RemoteServer* server_ = nullptr;
    int generation_ = 0;  // of the server; answers for an older one are dropped
    bool applying_ = false;
    std::string busy_;  // a long operation asked over the network
    device::UnitState* state_ = nullptr;  // whether the program is the unit's
    std::unique_ptr<device::UnitState> own_state_;
    std::string differs_;
    kvremote::MemoryList memories_;
    QTimer flush_;
};

}  // namespace remote
