#include "widgets/status_feedback.h"

#include <QApplication>
#include <QMainWindow>
#include <QStatusBar>

namespace {

constexpr int kShownMs = 30000;

QMainWindow* MainWindowOf(QWidget* from) {
    for (QWidget* w = from; w != nullptr; w = w->parentWidget())
        if (auto* main = qobject_cast<QMainWindow*>(w)) return main;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* main = qobject_cast<QMainWindow*>(w); main && main->isVisible()) return main;
    return nullptr;
}

}  // namespace

QString DoneText(const QString& what, qint64 elapsed_ms) {
    const qint64 tenths = (elapsed_ms + 50) / 100;
    return QStringLiteral("%1 in %2.%3 s").arg(what).arg(tenths / 10).arg(tenths % 10);
}

void TellDone(QWidget* from, const QString& what, const QElapsedTimer& took) { TellDone(from, what, took.elapsed()); }

void TellDone(QWidget* from, const QString& what, qint64 elapsed_ms) {
    QMainWindow* main = MainWindowOf(from);
    if (main == nullptr) return;
    main->statusBar()->showMessage(DoneText(what, elapsed_ms), kShownMs);
}
