#include "shell/my758_app.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSettings>
#include <QLabel>
#include <QStatusBar>

#include <csignal>
#include <optional>
#include <cstdio>
#include <kvcom/kvcom.h>
#include <kvports/port_lock.h>
#include <kvrack/unit_start.h>

#include "device/unit_state.h"
#include "document/my758_doc.h"
#include "routing/my758_view.h"
#include "settings/dlg_rs232.h"
#include "settings/port_problem.h"
#include "settings/port_settings.h"
#include "remote/remote_control.h"
#include "shell/main_frame.h"
#include "shell/single_instance.h"
#include "widgets/logo.h"
#include "widgets/message_box.h"
#include "widgets/refusal_text.h"
#include "widgets/string_table.h"

CMy758App::CMy758App(QObject* parent) : QObject(parent) {}

CMy758App::~CMy758App() = default;

CMy758Doc* CMy758App::document() const { return frame_ ? frame_->document() : nullptr; }

CMy758View* CMy758App::view() const { return frame_ ? frame_->view() : nullptr; }

bool CMy758App::HeadlessPlatform() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

void CMy758App::Report(const QString& caption, const QString& text, bool error_icon, const QString& detail) {
    if (message_mode_ == MessageMode::kStderr) {
        QString line = caption + QStringLiteral(": ") + QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
        if (!detail.isEmpty()) line += QStringLiteral(" (") + detail + QStringLiteral(")");
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
        return;
    }
    // Over the main window whenever there is one, shown or not yet.
    ShowMessage(frame_.get(), error_icon ? QMessageBox::Critical : QMessageBox::NoIcon, caption, text, QMessageBox::Ok,
                detail);
}

void CMy758App::ShowUnit(const QString& name) {
    frame_->setUnitName(name);
    auto* pane = new QLabel(name, frame_->statusBar());
    pane->setObjectName(QStringLiteral("unitNamePane"));
    pane->setToolTip(tr("This window edits this unit only; 758 --unit ALIAS opens another beside it"));
    frame_->statusBar()->addPermanentWidget(pane);
}

CMy758App::StartResult CMy758App::InitInstance(const QStringList& args) {
    RegisterProgramStrings();
    // A save past the user's file-size limit would otherwise kill the
    // program with SIGXFSZ; ignored, the write fails with EFBIG and the
    // writers report a failed save.
    std::signal(SIGXFSZ, SIG_IGN);

    // The logo from the outside resource file, when there is one.
    SetProgramLogo(LoadLogo(resource_paths_.isEmpty() ? OutsideResourcePaths() : resource_paths_));

    // --unit ALIAS or --port PATH: a window for that unit alone.
    std::vector<std::string> words;
    for (const QString& a : args) words.push_back(a.toStdString());
    const auto options = kvrack::TakeUnitOptions(words);
    if (!options) {
        Report(DocTemplateField(kDocWindowTitle), RefusalText(options.refusal()), true);
        return StartResult::kFailed;
    }

    // The port comes from the settings (organisation and application
    // "KALVORE", set by main before start-up), or is the unit's.
    ApplyStoredPortChoice();
    std::optional<kvrack::UnitTarget> unit;
    if (options->ForOneUnit()) {
        const auto target = kvrack::ResolveUnit(*options, kvrack::DefaultRackPath(), kvrack::ReadRack, UnitPortKey);
        QString why;
        if (!target)
            why = RefusalText(target.refusal());
        else if (!AimAtUnit(*target, &why))
            why = (options->unit.empty() ? QStringLiteral("--port")
                                         : QStringLiteral("--unit ") + QString::fromStdString(options->unit)) +
                  QStringLiteral(": ") + why;
        if (!why.isEmpty()) {
            Report(DocTemplateField(kDocWindowTitle), why, true);
            return StartResult::kFailed;
        }
        unit = *target;
    }

    // Document, frame and view; a file named on the command line is opened.
    auto* doc = new CMy758Doc;
    frame_ = std::make_unique<CMainFrame>(doc);
    doc->setParent(frame_.get());
    if (unit) ShowUnit(QString::fromStdString(kvrack::UnitTitle(*unit)));
    bool opened_file = false;
    if (!options->rest.empty()) {
        QString why;
        if (!doc->OpenDocument(QString::fromStdString(options->rest.front()), &why, &startup_note_)) {
            Report(DocTemplateField(kDocWindowTitle), why, true);
            return StartResult::kFailed;
        }
        opened_file = true;
    }

    frame_->show();
    frame_->repaint();
    if (!startup_note_.isEmpty()) Report(DocTemplateField(kDocWindowTitle), startup_note_, false);

    CreateTTYInfo();

    // One program for the stored port; one for each unit's port beside it.
    const QString lock_name = unit ? QString::fromStdString(kvports::PortLockName(
                                         LoadProgramString(IDS_LOCK_NAME).toStdString(), UnitPortKey(unit->port)))
                                   : LoadProgramString(IDS_LOCK_NAME);
    lock_ = std::make_unique<SingleInstanceLock>(lock_name, lock_dir_);
    if (unit && !lock_->TryLock()) {
        const qint64 holder = lock_->HolderPid();
        const QString name = unit->alias.empty()
                                 ? tr("The unit on %1").arg(QString::fromStdString(unit->port))
                                 : tr("The unit %1").arg(QString::fromStdString(kvrack::UnitTitle(*unit)));
        const QString text = holder > 0 ? tr("%1 is already open in another 758 (PID %2).").arg(name).arg(holder)
                                        : tr("%1 is already open in another 758.").arg(name);
        Report(LoadProgramString(IDS_ERROR_CAPTION), text, false);
        return StartResult::kAlreadyRunning;
    }
    if (!unit && !lock_->TryLock()) {
        // Texts read one after the other: the library's buffer is shared.
        const QString text = LoadProgramString(IDS_APP_RUNNING);
        const QString caption = LoadProgramString(IDS_ERROR_CAPTION);
        Report(caption, text, false);
        return StartResult::kAlreadyRunning;
    }

    if (OpenConnection() == 0) {
        const QString text = LoadProgramString(IDS_RS232_FAILED);
        const QString caption = LoadProgramString(IDS_APP_CAPTION);
        Report(caption, text, true, PortProblemText(ProbePort(rs232_port)));
    }

    // Factory values for the current configuration, unless a file given on
    // the command line has just filled the model.
    if (!opened_file) doc->Model().InitData();
    frame_->view()->reinitialise();

    // From here on the unit's working program is read whenever the link
    // opens (now, and on every reconnect), and the status bar says whether
    // the PC's program is the unit's.
    device::UnitState* state = frame_->unitState();
    state->ProgramReplaced();
    state->SetReadsUnitOnLink(true);
    state->LinkChanged();

    // The remote-control server, when the settings turn it on; a server that
    // cannot start is said in the status bar and the program goes on.
    QString why;
    if (!frame_->remoteControl()->StartFromSettings(&why))
        frame_->statusBar()->showMessage(
            tr("Remote control is off: %1").arg(QString(why).replace(QLatin1Char('\n'), QLatin1Char(' '))), 30000);
    return StartResult::kRunning;
}
