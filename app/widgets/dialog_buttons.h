// The OK and Cancel buttons of the program's small dialogs: 50 x 14 dialog
// units, OK the default button, wired to the dialog's accept() and reject()
// (so a dialog's own accept() checks run).
#pragma once

class DialogUnits;
class QDialog;
class QPushButton;

QPushButton* AddOkButton(QDialog* dialog, const DialogUnits& du, int x, int y);
QPushButton* AddCancelButton(QDialog* dialog, const DialogUnits& du, int x, int y);
// OK at (x, y) and Cancel below it.
void AddOkCancelButtons(QDialog* dialog, const DialogUnits& du, int x, int y);
