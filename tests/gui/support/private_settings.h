// Test helpers for the Qt window tests: a private settings store, so no test
// ever reads or writes the user's own settings.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace kvtest {

// For its lifetime, QSettings() of organisation and application "KALVORE"
// lives in a fresh temporary folder. Create one per test case (init()).
class TestSettings {
public:
    TestSettings();
    ~TestSettings();
    TestSettings(const TestSettings&) = delete;
    TestSettings& operator=(const TestSettings&) = delete;

    QString directory() const { return dir_.path(); }
    // A value as the program stored it ("Settings/RS232Port", ...).
    static QVariant Value(const QString& key);
    static void SetValue(const QString& key, const QVariant& value);

private:
    QTemporaryDir dir_;
};

}  // namespace kvtest
