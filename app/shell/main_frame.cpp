#include "shell/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include <kvcom/kvcom.h>

#include "channel/dlg_settings.h"
#include "compare/dlg_compare.h"
#include "compare/program_exchange.h"
#include "device/device_line.h"
#include "device/device_task.h"
#include "device/unit_state.h"
#include "document/my758_doc.h"
#include "history/dlg_history.h"
#include "history/program_history.h"
#include "remote/dlg_remote.h"
#include "remote/remote_control.h"
#include "response/response_window.h"
#include "routing/my758_view.h"
#include "routing/routing_area.h"
#include "shell/about_dlg.h"
#include "shell/link_watch.h"
#include "shell/lock_keys.h"
#include "traffic/traffic_dock.h"
#include "widgets/eliding_status_bar.h"
#include "widgets/icons.h"
#include "widgets/message_box.h"
#include "widgets/screen_fit.h"
#include "widgets/string_table.h"

namespace {
const QString kRecentGroup = QStringLiteral("Recent File List");
}  // namespace

CMainFrame::CMainFrame(CMy758Doc* doc, QWidget* parent) : QMainWindow(parent), doc_(doc) {
    setWindowIcon(icons::ProgramIcon());
    view_ = new CMy758View(doc_, this);
    setCentralWidget(new RoutingArea(view_, this));

    history_ = new history::ProgramHistory(doc_->Model(), this);
    doc_->SetCopyTitles([this](const QString& path) { return history_->Store().CopyTitleFor(path); });
    // Before the remote control, whose clients are told the same state.
    unit_state_ = new device::UnitState(doc_->Model(), this);
    connect(doc_, &CMy758Doc::documentReset, unit_state_, &device::UnitState::ProgramReplaced);
    // Off until the settings or the user start it (start-up does).
    remote_ = new remote::RemoteControl(*doc_, this, this);
    createActions();
    createHistoryActions();
    createMenus();
    createToolBar();
    createStatusBar();
    setAcceptDrops(true);

    connect(view_, &CMy758View::channelSheetRequested, this, [this](int output) {
        CDlgSettings sheet(doc_->Model(), output, this);
        sheet.exec();
    });
    connect(doc_, &CMy758Doc::titleChanged, this, &CMainFrame::updateCaption);
    connect(doc_, &CMy758Doc::modifiedChanged, this, &QWidget::setWindowModified);
    connect(doc_, &CMy758Doc::fileUsed, this, &CMainFrame::addRecentFile);
    updateCaption();
    updateRecentActions();
    // Room for the whole routing picture and a margin, as a start, as far
    // as the screen has room (the view scrolls within).
    FitToScreen(this, view_->minimumSize() + QSize(60, 120));
}

QAction* CMainFrame::action(Command id) const { return actions_.value(id); }

QAction* CMainFrame::makeAction(Command id, const QString& text, const char* command_string) {
    auto* a = new QAction(text, this);
    a->setObjectName(QStringLiteral("command%1").arg(int(id)));
    const CommandText ct = SplitCommandString(command_string);
    a->setStatusTip(ct.prompt);
    a->setToolTip(ct.tooltip.isEmpty() ? ct.prompt : ct.tooltip);
    actions_.insert(id, a);
    return a;
}

void CMainFrame::createActions() {
    QAction* a = makeAction(ID_FILE_NEW, QStringLiteral("&New"), kCmdFileNew);
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    a->setIcon(icons::FileNewIcon());
    connect(a, &QAction::triggered, this, &CMainFrame::onFileNew);

    a = makeAction(ID_FILE_OPEN, QStringLiteral("&Open..."), kCmdFileOpen);
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    a->setIcon(icons::FileOpenIcon());
    connect(a, &QAction::triggered, this, &CMainFrame::onFileOpen);

    a = makeAction(ID_FILE_SAVE, QStringLiteral("&Save"), kCmdFileSave);
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    a->setIcon(icons::FileSaveIcon());
    connect(a, &QAction::triggered, this, [this] { doc_->FileSave(this); });

    a = makeAction(ID_FILE_SAVE_AS, QStringLiteral("Save &As..."), kCmdFileSaveAs);
    connect(a, &QAction::triggered, this, [this] { doc_->FileSaveAs(this); });

    a = makeAction(ID_IMPORT_JSON, QStringLiteral("&Import JSON..."),
                   "Make a JSON program file the PC program; nothing is sent\nImport JSON: make a JSON program file "
                   "the PC program; nothing goes to the unit");
    connect(a, &QAction::triggered, this, [this] { ImportJsonCommand(*doc_, this); });
    a = makeAction(ID_EXPORT_TEXT, QStringLiteral("&Export as text..."),
                   "Write the PC program as readable text\nExport as text: write the PC program as readable text, one "
                   "line per setting");
    connect(a, &QAction::triggered, this, [this] { ExportAsTextCommand(*doc_, this); });
    a = makeAction(ID_EXPORT_JSON, QStringLiteral("Export as &JSON..."),
                   "Write the PC program as a JSON file\nExport as JSON: write the PC program as a JSON file for "
                   "scripts and version control");
    connect(a, &QAction::triggered, this, [this] { ExportAsJsonCommand(*doc_, this); });
    a = makeAction(ID_COMPARE, QStringLiteral("&Compare..."),
                   "Show what differs between two programs\nCompare: show what differs between two programs (PC, unit, "
                   "files, memories)");
    connect(a, &QAction::triggered, this, [this] { OpenCompareWindow(*doc_, this); });
    a = makeAction(ID_SYSTEM_RESPONSE, QStringLiteral("System res&ponse..."),
                   "Show how the outputs add up: level, phase and group delay\nSystem response: level, phase and "
                   "group delay of every output and of their sum, from the filter types' nominal shapes");
    connect(a, &QAction::triggered, this, [this] { response::OpenResponseWindow(*doc_, this); });
    a = makeAction(ID_VERIFY, QStringLiteral("&Verify"),
                   "Read the unit's working program back and compare it\nVerify: read the unit's working program back "
                   "and compare it with the PC program");
    connect(a, &QAction::triggered, this, [this] { VerifyAgainstUnit(*doc_, this, 0); });

    for (int i = 0; i < kRecentFiles; ++i) {
        auto* r = new QAction(this);
        r->setObjectName(QStringLiteral("command%1").arg(ID_FILE_MRU_FILE1 + i));
        r->setStatusTip(QString::fromLatin1(kCmdRecentFile));
        connect(r, &QAction::triggered, this, [this, r] { openFile(r->data().toString()); });
        recent_actions_.append(r);
    }

    a = makeAction(ID_APP_EXIT, QStringLiteral("E&xit"), kCmdExit);
    connect(a, &QAction::triggered, this, &QWidget::close);

    // The device commands' shortcuts: Ctrl+Shift and the command's letter,
    // clear of the standard ones (Ctrl+Shift+S is Save As).
    a = makeAction(ID_FIGURATION, QStringLiteral("&Figuration"), kCmdFiguration);
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    connect(a, &QAction::triggered, view_, &CMy758View::onFiguration);
    a = makeAction(ID_RS232, QStringLiteral("&RS232"), kCmdRs232);
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    connect(a, &QAction::triggered, view_, &CMy758View::onRs232);
    a = makeAction(ID_MEMORY, QStringLiteral("&Memory"), kCmdMemory);
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    connect(a, &QAction::triggered, view_, &CMy758View::onMemory);
    a = makeAction(ID_UPLOAD, QStringLiteral("&Upload"), kCmdUpload);
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U));
    a->setIcon(icons::UploadIcon());
    connect(a, &QAction::triggered, view_, &CMy758View::onUpload);
    a = makeAction(ID_DOWNLOAD, QStringLiteral("&Download"), kCmdDownload);
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
    a->setIcon(icons::DownloadIcon());
    connect(a, &QAction::triggered, view_, &CMy758View::onDownload);

    a = makeAction(ID_REMOTE, QStringLiteral("R&emote control..."),
                   "Serve the unit to a web page, show-control software and OSC\nRemote control: serve the unit to a "
                   "browser or tablet, show-control software (HTTP, WebSocket) and OSC, with the page's QR code");
    connect(a, &QAction::triggered, this, &CMainFrame::onRemote);

    a = makeAction(ID_APP_ABOUT, QStringLiteral("&About..."), kCmdAbout);
    a->setIcon(icons::AboutIcon());
    connect(a, &QAction::triggered, this, &CMainFrame::onAbout);

    // A tooltip names the shortcut too.
    for (QAction* command : std::as_const(actions_))
        if (!command->shortcut().isEmpty())
            command->setToolTip(QStringLiteral("%1 (%2)").arg(command->toolTip(),
                                                              command->shortcut().toString(QKeySequence::NativeText)));
}

void CMainFrame::createHistoryActions() {
    auto make = [this](Command id) {
        auto* a = new QAction(this);
        a->setObjectName(QStringLiteral("command%1").arg(int(id)));
        actions_.insert(id, a);
        return a;
    };
    QAction* undo = make(ID_EDIT_UNDO);
    history::SetUpUndoAction(undo);
    connect(undo, &QAction::triggered, this, [this] { history_->Undo(this); });
    QAction* redo = make(ID_EDIT_REDO);
    history::SetUpRedoAction(redo);
    connect(redo, &QAction::triggered, this, [this] { history_->Redo(this); });
    if (undo->icon().isNull()) undo->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    if (redo->icon().isNull()) redo->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));

    QAction* kept = make(ID_FILE_HISTORY);
    kept->setText(tr("&History..."));
    kept->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    kept->setStatusTip(tr("The programs kept before each Open, Upload, Recall, Download, Store and Figuration"));
    kept->setToolTip(tr("History (Ctrl+H)"));
    connect(kept, &QAction::triggered, this, &CMainFrame::onHistory);

    connect(history_, &history::ProgramHistory::stackChanged, this, &CMainFrame::updateUndoActions);
    connect(history_, &history::ProgramHistory::modelRestored, view_, [this] { view_->update(); });
    connect(history_, &history::ProgramHistory::notice, this,
            [this](const QString& text) { statusBar()->showMessage(text, 15000); });
    updateUndoActions();
}

void CMainFrame::updateUndoActions() {
    QAction* undo = actions_[ID_EDIT_UNDO];
    QAction* redo = actions_[ID_EDIT_REDO];
    const history::UndoStack& stack = history_->Stack();
    undo->setEnabled(stack.CanUndo());
    redo->setEnabled(stack.CanRedo());
    undo->setText(stack.CanUndo() ? tr("&Undo %1").arg(QString::fromStdString(stack.UndoText())) : tr("&Undo"));
    redo->setText(stack.CanRedo() ? tr("&Redo %1").arg(QString::fromStdString(stack.RedoText())) : tr("&Redo"));
}

void CMainFrame::onHistory() {
    CDlgHistory dialog(doc_->Model(), history_->Store(), this);
    // A kept program opens as an untitled copy: a Save never writes into
    // the history's folder.
    dialog.open = [this](const history::HistoryEntry& entry) {
        return replaceDocument(tr("Open"), [this, &entry](QString* why, QString* note) {
            return doc_->OpenCopy(entry.path, history::CopyTitle(entry), why, note);
        });
    };
    dialog.exec();
}

void CMainFrame::updateUnitPane() {
    const QString text = unit_state_->Text();
    unit_pane_->setVisible(!text.isEmpty());
    if (!unit_state_->OffersRemedy()) {
        unit_pane_->setText(text.toHtmlEscaped());
        unit_pane_->setToolTip(text);
        return;
    }
    unit_pane_->setText(tr("%1 — <a href=\"upload\">Upload</a>, <a href=\"download\">Download</a> or "
                           "<a href=\"compare\">Compare</a>")
                            .arg(text.toHtmlEscaped()));
    unit_pane_->setToolTip(tr("%1.\nUpload takes the unit's program into the PC, Download sends the PC's program to "
                              "the unit, Compare shows where they differ.")
                               .arg(text));
}

void CMainFrame::onCompareWithUnit() {
    const std::vector<kvprog::SettingRef> kept = unit_state_->KeptOnPc();
    CDlgCompare* window = OpenCompareWindow(*doc_, this);
    window->setSources({ProgramSource::kPcProgram, 1, {}}, {ProgramSource::kUnitProgram, 1, {}});
    if (window->compare() && !kept.empty()) window->selectSettings(kept);
}

void CMainFrame::onRemote() {
    CDlgRemote dialog(*remote_, this);
    dialog.exec();
}

void CMainFrame::addCommands(QWidget* target, std::initializer_list<int> ids) {
    for (const int id : ids) {
        if (id != kSeparator) {
            target->addAction(actions_[id]);
            continue;
        }
        auto* separator = new QAction(target);
        separator->setSeparator(true);
        target->addAction(separator);
    }
}

void CMainFrame::createMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    addCommands(file, {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, kSeparator, ID_IMPORT_JSON,
                       ID_EXPORT_TEXT, ID_EXPORT_JSON});
    recent_separator_ = file->addSeparator();
    file->addActions(recent_actions_);
    file->addSeparator();
    file->addAction(actions_[ID_APP_EXIT]);

    file->insertAction(recent_separator_, actions_[ID_FILE_HISTORY]);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    addCommands(edit, {ID_EDIT_UNDO, ID_EDIT_REDO});

    QMenu* config = menuBar()->addMenu(QStringLiteral("&Config"));
    addCommands(config, {ID_FIGURATION, ID_RS232, ID_MEMORY, kSeparator, ID_UPLOAD, ID_DOWNLOAD, ID_VERIFY, kSeparator,
                         ID_REMOTE});

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    viewMenu->addAction(makeAction(ID_VIEW_TOOLBAR, QStringLiteral("&Toolbar"), kCmdToolbar));
    viewMenu->addAction(makeAction(ID_VIEW_STATUS_BAR, QStringLiteral("&Status Bar"), kCmdStatusBar));
    viewMenu->addSeparator();
    viewMenu->addAction(actions_[ID_COMPARE]);
    viewMenu->addAction(actions_[ID_SYSTEM_RESPONSE]);
    viewMenu->addAction(traffic::InstallTrafficDock(this));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(actions_[ID_APP_ABOUT]);
}

void CMainFrame::createToolBar() {
    toolbar_ = new QToolBar(QStringLiteral("Toolbar"), this);
    toolbar_->setObjectName(QStringLiteral("toolbar"));
    toolbar_->setIconSize(QSize(16, 16));
    toolbar_->setAllowedAreas(Qt::AllToolBarAreas);
    toolbar_->setMovable(true);
    addCommands(toolbar_, {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, kSeparator, ID_UPLOAD, ID_DOWNLOAD, kSeparator,
                           ID_EDIT_UNDO, ID_EDIT_REDO, kSeparator, ID_APP_ABOUT});
    addToolBar(Qt::TopToolBarArea, toolbar_);

    QAction* toggle = actions_[ID_VIEW_TOOLBAR];
    toggle->setCheckable(true);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, toolbar_, &QToolBar::setVisible);
    connect(toolbar_, &QToolBar::visibilityChanged, toggle, &QAction::setChecked);
}

void CMainFrame::createStatusBar() {
    setStatusBar(new ElidingStatusBar(this));
    QStatusBar* bar = statusBar();
    auto* ready = new QLabel(QString::fromLatin1(kIdlePrompt), bar);
    ready->setObjectName(QStringLiteral("idlePrompt"));
    bar->addWidget(ready, 1);

    // Shown while edits wait for the line.
    auto* sending = new QLabel(bar);
    sending->setObjectName(QStringLiteral("sendingIndicator"));
    bar->addPermanentWidget(sending);
    sending->hide();
    connect(&device::Line(), &device::DeviceLine::pendingChanged, sending, [sending](int pending) {
        sending->setText(QStringLiteral("Sending %1").arg(pending));
        sending->setVisible(pending > 0);
    });
    // The link to the unit, at all times.
    auto* link_pane = new QLabel(bar);
    link_pane->setObjectName(QStringLiteral("linkPane"));
    bar->addPermanentWidget(link_pane);
    link_watch_ = new LinkWatch(this);
    link_pane->setText(link_watch_->paneText());
    link_pane->setToolTip(link_watch_->paneText());
    ElidingStatusBar::LetGiveWay(link_pane);
    connect(link_watch_, &LinkWatch::paneTextChanged, link_pane, &QLabel::setText);
    connect(link_watch_, &LinkWatch::paneTextChanged, link_pane, &QLabel::setToolTip);
    connect(link_watch_, &LinkWatch::notice, bar, [bar](const QString& text) { bar->showMessage(text, 15000); });
    // The PC's program against the unit's, with what brings them together.
    unit_pane_ = new QLabel(bar);
    unit_pane_->setObjectName(QStringLiteral("unitPane"));
    unit_pane_->setTextFormat(Qt::RichText);
    unit_pane_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    bar->addPermanentWidget(unit_pane_);
    ElidingStatusBar::LetGiveWay(unit_pane_);
    connect(unit_pane_, &QLabel::linkActivated, this, [this](const QString& link) {
        if (link == QLatin1String("upload")) actions_[ID_UPLOAD]->trigger();
        if (link == QLatin1String("download")) actions_[ID_DOWNLOAD]->trigger();
        if (link == QLatin1String("compare")) onCompareWithUnit();
    });
    connect(unit_state_, &device::UnitState::changed, this, &CMainFrame::updateUnitPane);
    connect(unit_state_, &device::UnitState::keptOnPcFound, this, [bar](int count) {
        bar->showMessage(count == 1 ? tr("The unit is back: 1 setting edited while it was away is only on the PC "
                                         "(Compare shows it)")
                                    : tr("The unit is back: %1 settings edited while it was away are only on the PC "
                                         "(Compare shows them)")
                                          .arg(count),
                         30000);
    });
    // The state and the remote clients follow the link too.
    connect(link_watch_, &LinkWatch::paneTextChanged, unit_state_, [this](const QString& text) {
        unit_state_->SetLinkText(text);
        unit_state_->LinkChanged();
    });
    unit_state_->SetLinkText(link_watch_->paneText());
    connect(link_watch_, &LinkWatch::paneTextChanged, remote_, &remote::RemoteControl::LinkChanged);
    updateUnitPane();

    // The remote-control server, while it runs: how many pages watch.
    auto* remote_pane = new QLabel(bar);
    remote_pane->setObjectName(QStringLiteral("remotePane"));
    bar->addPermanentWidget(remote_pane);
    remote_pane->hide();
    connect(remote_, &remote::RemoteControl::stateChanged, remote_pane, [this, remote_pane] {
        remote_pane->setText(remote_->PaneText());
        remote_pane->setToolTip(remote_->PaneToolTip());
        remote_pane->setVisible(remote_->Running());
    });

    // Key-lock indicators, where the system tells the keys' state.
    const LockKeyState keys = CurrentLockKeys();
    const std::optional<bool> known[3] = {keys.caps, keys.num, keys.scroll};
    const char* names[3] = {"CAP", "NUM", "SCRL"};
    bool any = false;
    for (int i = 0; i < 3; ++i) {
        if (!known[i].has_value()) continue;
        lock_panes_[i] = new QLabel(bar);
        lock_panes_[i]->setObjectName(QString::fromLatin1(names[i]));
        lock_panes_[i]->setMinimumWidth(lock_panes_[i]->fontMetrics().horizontalAdvance(QStringLiteral("SCRL ")));
        bar->addPermanentWidget(lock_panes_[i]);
        any = true;
    }
    if (any) {
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, &CMainFrame::updateLockKeys);
        timer->start(300);
        updateLockKeys();
    }

    QAction* toggle = actions_[ID_VIEW_STATUS_BAR];
    toggle->setCheckable(true);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, bar, &QStatusBar::setVisible);
}

void CMainFrame::updateLockKeys() {
    const LockKeyState keys = CurrentLockKeys();
    const std::optional<bool> state[3] = {keys.caps, keys.num, keys.scroll};
    const char* names[3] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i)
        if (lock_panes_[i])
            lock_panes_[i]->setText(state[i].value_or(false) ? QString::fromLatin1(names[i]) : QString());
}

void CMainFrame::setUnitName(const QString& name) {
    unit_name_ = name;
    updateCaption();
}

void CMainFrame::updateCaption() {
    // "show.syx* - KALVORE" while the program differs from its file; a
    // window for one unit starts with the unit: "main-l (/dev/ttyUSB0) - ...".
    QString title = QStringLiteral("%1[*] - %2").arg(doc_->Title(), DocTemplateField(kDocWindowTitle));
    if (!unit_name_.isEmpty()) title = unit_name_ + QStringLiteral(" - ") + title;
    setWindowTitle(title);
    setWindowModified(doc_->IsModified());
}

QStringList CMainFrame::recentFiles() const {
    QSettings settings;
    settings.beginGroup(kRecentGroup);
    QStringList files;
    for (int i = 1; i <= kRecentFiles; ++i) {
        const QString f = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!f.isEmpty()) files.append(f);
    }
    return files;
}

void CMainFrame::addRecentFile(const QString& path) {
    QStringList files = recentFiles();
    files.removeAll(path);
    files.prepend(path);
    QSettings settings;
    settings.beginGroup(kRecentGroup);
    for (int i = 0; i < kRecentFiles; ++i) {
        const QString key = QStringLiteral("File%1").arg(i + 1);
        if (i < files.size())
            settings.setValue(key, files[i]);
        else
            settings.remove(key);
    }
    settings.endGroup();
    updateRecentActions();
}

void CMainFrame::updateRecentActions() {
    const QStringList files = recentFiles();
    for (int i = 0; i < kRecentFiles; ++i) {
        QAction* a = recent_actions_[i];
        a->setVisible(i < files.size());
        if (i < files.size()) {
            a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(files[i])));
            a->setToolTip(tr("Open %1").arg(QDir::toNativeSeparators(files[i])));
            a->setData(files[i]);
        }
    }
    recent_separator_->setVisible(!files.isEmpty());
}

bool CMainFrame::openFile(const QString& path) {
    return replaceDocument(tr("Open"), [this, &path](QString* why, QString* note) {
        return doc_->OpenDocument(path, why, note);
    });
}

bool CMainFrame::replaceDocument(const QString& reason, const std::function<bool(QString*, QString*)>& open) {
    // Every edit reaches the unit before the model is replaced.
    if (!FinishPendingSends(this)) return false;
    if (!doc_->SaveModified(this)) return false;
    history_->KeepProgram(reason);
    QString why, note;
    if (!open(&why, &note)) {
        ShowMessage(this, QMessageBox::Warning, DocTemplateField(kDocWindowTitle), why);
        return false;
    }
    if (!note.isEmpty()) ShowMessage(this, QMessageBox::Warning, DocTemplateField(kDocWindowTitle), note);
    history_->NewHistory(reason);
    return true;
}

void CMainFrame::onFileNew() {
    if (!FinishPendingSends(this)) return;
    if (!doc_->SaveModified(this)) return;
    history_->KeepProgram(tr("New"));
    doc_->NewDocument();
    history_->NewHistory(tr("New"));
}

void CMainFrame::onFileOpen() {
    // As New: the question about the changes comes before the file is
    // chosen; the program being replaced is kept and a new history begins,
    // as for every other way of opening a file.
    if (!FinishPendingSends(this)) return;
    if (!doc_->SaveModified(this)) return;
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Open"), QFileInfo(doc_->Path()).path(), CMy758Doc::FileFilter());
    if (path.isEmpty()) return;
    history_->KeepProgram(tr("Open"));
    if (doc_->OpenWithReport(path, this)) history_->NewHistory(tr("Open"));
}

void CMainFrame::onAbout() {
    CAboutDlg dialog(this);
    dialog.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A device operation runs to its end, and every queued edit goes out:
    // the program may not go before.
    if (DeviceTaskRunning() || !FinishPendingSends(this))
        event->ignore();
    else if (doc_->SaveModified(this))
        event->accept();
    else
        event->ignore();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    // One document at a time: the first local file dropped is opened.
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            activateWindow();
            // Opened once the drop is over: the open may ask questions.
            const QString path = url.toLocalFile();
            QTimer::singleShot(0, this, [this, path] { openFile(path); });
            return;
        }
}
