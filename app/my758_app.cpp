#include "my758_app.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QResource>
#include <QSettings>
#include <QStandardPaths>

#include <cstdio>
#include <kvcom/kvcom.h>

#include "dlg_rs232.h"
#include "main_frame.h"
#include "my758_doc.h"
#include "my758_view.h"
#include "port_problem.h"
#include "single_instance.h"
#include "string_table.h"

namespace {

// Made at start-up and kept to the end of the process (a pixmap must not
// outlive the application object, so it is never destroyed).
QPixmap* g_logo = nullptr;

const QString kResourceFile = QStringLiteral("kalvore.rcc");
const QString kResourceRoot = QStringLiteral("/kalvore-outside");

}  // namespace

CMy758App::CMy758App(QObject* parent) : QObject(parent) {}

CMy758App::~CMy758App() = default;

CMy758Doc* CMy758App::document() const { return frame_ ? frame_->document() : nullptr; }

CMy758View* CMy758App::view() const { return frame_ ? frame_->view() : nullptr; }

QPixmap CMy758App::LogoBitmap() { return g_logo ? *g_logo : QPixmap(); }

QStringList CMy758App::DefaultResourcePaths() {
    QStringList paths;
    const QString app_dir = QCoreApplication::applicationDirPath();
    paths << QDir(app_dir).filePath(kResourceFile);
    paths << QDir(app_dir).filePath(QStringLiteral("../share/kalvore/") + kResourceFile);
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        paths << QDir(dir).filePath(QStringLiteral("kalvore/") + kResourceFile);
    return paths;
}

QPixmap CMy758App::LoadLogo(const QStringList& paths) {
    for (const QString& path : paths) {
        if (!QFileInfo::exists(path)) continue;
        if (!QResource::registerResource(path, kResourceRoot)) continue;
        QPixmap logo(QStringLiteral(":") + kResourceRoot + QStringLiteral("/logo.png"));
        // The picture is decoded now; the file is let go again.
        QResource::unregisterResource(path, kResourceRoot);
        if (!logo.isNull()) return logo;
    }
    return QPixmap();
}

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
    QMessageBox box(error_icon ? QMessageBox::Critical : QMessageBox::NoIcon, caption, text, QMessageBox::Ok,
                    frame_ && frame_->isVisible() ? frame_.get() : nullptr);
    box.setInformativeText(detail);
    box.exec();
}

CMy758App::StartResult CMy758App::InitInstance(const QStringList& args) {
    RegisterProgramStrings();

    // The logo from the outside resource file, when there is one.
    const QPixmap logo = LoadLogo(resource_paths_.isEmpty() ? DefaultResourcePaths() : resource_paths_);
    if (!g_logo) g_logo = new QPixmap;
    *g_logo = logo;

    // The port comes from the settings (organisation and application
    // "KALVORE", set by main before start-up).
    rs232_port = StoredPort();

    // Document, frame and view; a file named on the command line is opened.
    auto* doc = new CMy758Doc;
    frame_ = std::make_unique<CMainFrame>(doc);
    doc->setParent(frame_.get());
    bool opened_file = false;
    if (!args.isEmpty()) {
        QString error;
        if (!doc->openDocument(args.constFirst(), &error)) {
            Report(DocTemplateField(kDocWindowTitle), error, true);
            return StartResult::kFailed;
        }
        opened_file = true;
    }

    frame_->show();
    frame_->repaint();

    CreateTTYInfo();

    lock_ = std::make_unique<SingleInstanceLock>(LoadProgramString(IDS_LOCK_NAME), lock_dir_);
    if (!lock_->TryLock()) {
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
    if (!opened_file) doc->model().InitData();
    frame_->view()->reinitialise();
    return StartResult::kRunning;
}
