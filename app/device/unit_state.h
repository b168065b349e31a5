// The PC/unit state of the document's program, one per model, for every
// window that shows it (the status bar, the channel sheet and the editors,
// the remote-control server's "differs"). It follows the line's news (edits
// sent, device tasks, reads and whole programs) and reads the unit's working
// program itself when the link opens, on the device thread without a
// progress window and without recalling anything. The rule is
// kvagreement::UnitAgreement; this only feeds it and tells the windows.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <vector>

#include <kvcom/kvcom.h>

#include "kvagreement/unit_agreement.h"

namespace device {

class UnitState : public QObject {
    Q_OBJECT

public:
    explicit UnitState(const CDSDATA& model, QObject* parent = nullptr);
    ~UnitState() override;

    // The state of this model's program, or nullptr.
    static UnitState* For(const CDSDATA& model);

    kvagreement::UnitState State() const;
    // The state in words: "PC and unit agree", "PC differs from the unit: 23
    // settings", "Reading the unit's program..."; empty without a link.
    QString Text() const;
    // Whether Upload, Download and Compare can bring PC and unit together.
    bool OffersRemedy() const;
    // The link as the status bar's pane says it ("COM1 /dev/ttyUSB0 connected").
    QString LinkText() const { return link_text_; }
    void SetLinkText(const QString& text);
    // Edits made on the PC while the link was down that the unit lacks.
    std::vector<kvprog::SettingRef> KeptOnPc() const;

    // Off by default (windows tested on their own never read on their own):
    // start-up turns it on for the running program.
    void SetReadsUnitOnLink(bool on) { reads_on_link_ = on; }
    // The remote server's text (empty when the program is the unit's).
    std::string Differs() const;

public slots:
    // Looks at the link (the frame's watch calls it on every change); when
    // it opened, reads the unit's program.
    void LinkChanged();
    // The PC's program was replaced on the PC (a file opened, New, Take).
    void ProgramReplaced();
    // Reads the unit's working program now, unless a read is under way.
    void ReadUnit();

signals:
    // The state, its words or the link changed.
    void changed();
    // The unit is back and its program was read: `count` settings edited on
    // the PC while it was away are still not on it.
    void keptOnPcFound(int count);

private:
    void Tell();

    const CDSDATA& model_;
    kvagreement::UnitAgreement agreement_;
    QString link_text_;
    QTimer tell_;  // one change signal per turn of the event loop
    bool reads_on_link_ = false;
    bool read_failed_ = false;
    bool reconnected_ = false;  // the link came back: the next read looks for kept edits
    int read_tries_ = 0;
};

}  // namespace device
