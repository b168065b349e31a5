#include "widgets/logo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QResource>
#include <QStandardPaths>

namespace {

// Made at start-up and kept to the end of the process (a pixmap must not
// outlive the application object, so it is never destroyed).
QPixmap* g_logo = nullptr;

const QString kResourceFile = QStringLiteral("kalvore.rcc");
const QString kResourceRoot = QStringLiteral("/kalvore-outside");

}  // namespace

QStringList OutsideResourcePaths() {
    QStringList paths;
    const QString app_dir = QCoreApplication::applicationDirPath();
    paths << QDir(app_dir).filePath(kResourceFile);
    paths << QDir(app_dir).filePath(QStringLiteral("../share/kalvore/") + kResourceFile);
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        paths << QDir(dir).filePath(QStringLiteral("kalvore/") + kResourceFile);
    return paths;
}

QPixmap LoadLogo(const QStringList& paths) {
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

void SetProgramLogo(const QPixmap& logo) {
    if (!g_logo) g_logo = new QPixmap;
    *g_logo = logo;
}

QPixmap ProgramLogo() { return g_logo ? *g_logo : QPixmap(); }
