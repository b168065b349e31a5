// Helpers shared by the tests of the EQ and crossover editor dialogs.
#pragma once

#include <QLineEdit>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include "wire_recorder.h"

namespace kvtest::editor_dialogs {

// The messages recorded so far, one hex string each ("F0 00 20 ...").
inline QStringList Sent(const kvtest::WireRecorder& rec) {
    QStringList out;
    for (const auto& m : rec.Messages()) out << QString::fromStdString(kvtest::ToHex(m));
    return out;
}

// A parameter message: the common header, the given bytes, the end byte.
inline QString P(const char* body) { return QStringLiteral("F0 00 20 18 00 2D %1 F7").arg(QLatin1String(body)); }

inline void ShowActive(QWidget& dlg) {
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
}

// Types into an edit of a shown dialog and presses Enter.
inline void TypeAndEnter(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

}  // namespace kvtest::editor_dialogs
