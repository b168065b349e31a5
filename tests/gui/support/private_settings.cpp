#include "private_settings.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>

namespace kvtest {

TestSettings::TestSettings() {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("KALVORE"));
    QCoreApplication::setApplicationName(QStringLiteral("KALVORE"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
}

TestSettings::~TestSettings() { QSettings().clear(); }

QVariant TestSettings::Value(const QString& key) { return QSettings().value(key); }

void TestSettings::SetValue(const QString& key, const QVariant& value) {
    QSettings s;
    s.setValue(key, value);
    s.sync();
}

}  // namespace kvtest
