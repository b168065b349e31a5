// The main window: menu, toolbar and status bar around the routing view,
// the file commands with the recent-file list, and dropped files.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <initializer_list>

class CMy758Doc;
class CMy758View;
class LinkWatch;
namespace device {
class UnitState;
}
namespace history {
class ProgramHistory;
}
namespace remote {
class RemoteControl;
}
class QAction;
class QLabel;
class QToolBar;

class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    // Command ids of the menu, toolbar and accelerators.
    enum Command {
        ID_FILE_NEW = 57600,
        ID_FILE_OPEN = 57601,
        ID_FILE_SAVE = 57603,
        ID_FILE_SAVE_AS = 57604,
        ID_FILE_MRU_FILE1 = 57616,
        ID_APP_ABOUT = 57664,
        ID_APP_EXIT = 57665,
        ID_VIEW_TOOLBAR = 59392,
        ID_VIEW_STATUS_BAR = 59393,
        ID_FIGURATION = 32771,
        ID_DOWNLOAD = 32772,
        ID_UPLOAD = 32773,
        ID_RS232 = 32774,
        ID_MEMORY = 32777,
        ID_EXPORT_TEXT = 32790,
        ID_EXPORT_JSON = 32791,
        ID_IMPORT_JSON = 32792,
        ID_COMPARE = 32793,
        ID_VERIFY = 32794,
        ID_EDIT_UNDO = 57643,
        ID_EDIT_REDO = 57644,
        ID_FILE_HISTORY = 32780,
        ID_SYSTEM_RESPONSE = 32795,
        ID_REMOTE = 32796,
    };
    static constexpr int kRecentFiles = 4;

    explicit CMainFrame(CMy758Doc* doc, QWidget* parent = nullptr);

    CMy758View* view() const { return view_; }
    CMy758Doc* document() const { return doc_; }
    QAction* action(Command id) const;
    QToolBar* toolBar() const { return toolbar_; }
    LinkWatch* linkWatch() const { return link_watch_; }
    history::ProgramHistory* programHistory() const { return history_; }
    remote::RemoteControl* remoteControl() const { return remote_; }
    // Whether the PC's program is the unit's, shown in the status bar.
    device::UnitState* unitState() const { return unit_state_; }

    // Opens path as the document (after the save question), as File Open,
    // a recent file, the command line and a dropped file do.
    bool openFile(const QString& path);
    QStringList recentFiles() const;
    // The unit this window is for ("main-l (/dev/ttyUSB0)"), first in the
    // title; empty for the stored port.
    void setUnitName(const QString& name);
    // Replaces the document with what `open` reads (after the pending sends
    // and the save question), keeping the program it replaces in the
    // history under `reason` and starting a new undo history. A refusal or
    // a note of `open` is told in a message box.
    bool replaceDocument(const QString& reason, const std::function<bool(QString* why, QString* note)>& open);

public slots:
    void onFileNew();
    void onFileOpen();
    void onAbout();
    // File > History...: the kept programs, their differences, Open.
    void onHistory();
    // Config > Remote control...: the server's settings, tokens and QR code.
    void onRemote();
    // The PC's program against the unit's working program in Compare, with
    // the settings edited while the unit was away selected.
    void onCompareWithUnit();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* makeAction(Command id, const QString& text, const char* command_string);
    // Adds the commands' actions to a menu or toolbar; kSeparator between groups.
    static constexpr int kSeparator = 0;
    void addCommands(QWidget* target, std::initializer_list<int> ids);
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void updateCaption();
    void addRecentFile(const QString& path);
    void updateRecentActions();
    void updateLockKeys();
    void createHistoryActions();
    void updateUndoActions();
    void updateUnitPane();

    CMy758Doc* doc_;
    CMy758View* view_;
    QToolBar* toolbar_ = nullptr;
    QHash<int, QAction*> actions_;
    QList<QAction*> recent_actions_;
    QAction* recent_separator_ = nullptr;
    QLabel* lock_panes_[3] = {};
    LinkWatch* link_watch_ = nullptr;
    history::ProgramHistory* history_ = nullptr;
    remote::RemoteControl* remote_ = nullptr;
    device::UnitState* unit_state_ = nullptr;
    QLabel* unit_pane_ = nullptr;
    QString unit_name_;
};
