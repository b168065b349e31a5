// Success said where the user looks after a long command: the main window's
// status bar, with what was done and how long it took.
#pragma once

#include <QElapsedTimer>
#include <QString>

class QWidget;

// "<what> in 22.8 s": the time with one decimal, under any locale.
QString DoneText(const QString& what, qint64 elapsed_ms);

// Shows DoneText(what, time since `took` started) in the status bar of the
// main window that `from` belongs to (or the program's main window when
// `from` is a dialog of its own); stays until the next message or a while.
void TellDone(QWidget* from, const QString& what, const QElapsedTimer& took);
// The same with the time counted by the caller (a command that leaves out
// the time its questions waited for the user).
void TellDone(QWidget* from, const QString& what, qint64 elapsed_ms);
