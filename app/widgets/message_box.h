// Message boxes as the program shows them: the caption is never cut short in
// the title bar, and a device or file path is never broken across lines.
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// The text with every path (a word that starts with "/") kept on one line,
// as rich text; a text without a path comes back as it is.
QString KeepPathsWhole(const QString& text);

// Applies both rules to a box whose texts are set; call it just before exec().
void PrepareMessageBox(QMessageBox& box);

// A modal box over parent's window; returns the button pressed.
QMessageBox::StandardButton ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                        const QString& text, QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        const QString& detail = QString());
