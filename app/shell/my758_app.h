// The application object: the start-up sequence, which also sets the
// program's logo for the routing view.
#pragma once

#include <QObject>
#include <QStringList>
#include <memory>

class CMainFrame;
class CMy758Doc;
class CMy758View;
class SingleInstanceLock;

class CMy758App : public QObject {
    Q_OBJECT

public:
    // How start-up ended.
    enum class StartResult {
        kRunning,         // the window is up; run the event loop
        kFailed,          // the window could not be made (bad command-line file or unit)
        kAlreadyRunning,  // another instance holds the lock: exit code 1
    };

    // How start-up reports a problem before the event loop runs.
    enum class MessageMode {
        kBox,     // a message box (the usual case)
        kStderr,  // no display to show a box on: a line on standard error
    };

    explicit CMy758App(QObject* parent = nullptr);
    ~CMy758App() override;

    // Start-up: settings, document, frame and view (opening the file named
    // in args, if any), link record, single-instance lock, link, model reset.
    // With --unit ALIAS (from the rack file, or --rack FILE) or --port PATH
    // the program is for that unit: its port for the link, the lock taken
    // for that port alone, the unit named in the title and status bar.
    StartResult InitInstance(const QStringList& args);

    void setMessageMode(MessageMode mode) { message_mode_ = mode; }
    // Where the single-instance lock lives (default: the runtime directory).
    void setLockDirectory(const QString& dir) { lock_dir_ = dir; }
    // Where the outside resource file with the logo is looked for, instead
    // of the standard places.
    void setResourceSearchPath(const QStringList& paths) { resource_paths_ = paths; }

    CMainFrame* frame() const { return frame_.get(); }
    CMy758Doc* document() const;
    CMy758View* view() const;

    // True when the platform has no display a user could see a box on.
    static bool HeadlessPlatform();

private:
    void ShowUnit(const QString& name);
    void Report(const QString& caption, const QString& text, bool error_icon, const QString& detail = QString());

    MessageMode message_mode_ = MessageMode::kBox;
    QString lock_dir_;
    QStringList resource_paths_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<SingleInstanceLock> lock_;
    QString startup_note_;  // the file named on the command line was read damaged
};
