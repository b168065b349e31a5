#include "document/my758_doc.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "document/program_file.h"
#include "document/safe_file_writer.h"
#include "widgets/message_box.h"
#include "widgets/string_table.h"

CMy758Doc::CMy758Doc(QObject* parent) : QObject(parent) {}

QString CMy758Doc::Title() const {
    return path_.isEmpty() ? DocTemplateField(kDocDefaultName) : QFileInfo(path_).fileName();
}

void CMy758Doc::SetModified(bool modified) { modified_ = modified; }

void CMy758Doc::SetPath(const QString& path) {
    path_ = path;
    emit titleChanged(Title());
}

void CMy758Doc::NewDocument() {
    modified_ = false;
    SetPath(QString());
    emit documentReset();
}

bool CMy758Doc::OpenDocument(const QString& path, QString* why, QString* note) {
    if (!programfile::ReadFile(path, model_, why, note)) return false;
    modified_ = false;
    SetPath(QFileInfo(path).absoluteFilePath());
    emit fileUsed(path_);
    emit documentReset();
    return true;
}

bool CMy758Doc::SaveDocument(const QString& path, QString* why) {
    // A failed save leaves the old file as it was.
    SafeFileWriter file;
    QString reason;
    if (!file.Open(path, &reason) || !file.Commit(programfile::Encode(model_), &reason)) {
        if (why) *why = tr("Cannot save %1: %2").arg(QFileInfo(path).fileName(), reason);
        return false;
    }
    modified_ = false;
    SetPath(QFileInfo(path).absoluteFilePath());
    emit fileUsed(path_);
    return true;
}

QString CMy758Doc::FileFilter() { return DocTemplateField(kDocFilter); }

bool CMy758Doc::SaveModified(QWidget* parent) {
    if (!modified_) return true;
    const auto answer =
        ShowMessage(parent, QMessageBox::Question, DocTemplateField(kDocWindowTitle),
                    tr("Save changes to %1?").arg(Title()), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::No) return true;
    return FileSave(parent);
}

bool CMy758Doc::FileSave(QWidget* parent) {
    if (path_.isEmpty()) return FileSaveAs(parent);
    return SaveWithReport(path_, parent);
}

bool CMy758Doc::FileSaveAs(QWidget* parent) {
    QFileDialog dialog(parent, tr("Save As"), path_.isEmpty() ? Title() : path_, FileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(DocTemplateField(kDocExtension).mid(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    return SaveWithReport(dialog.selectedFiles().constFirst(), parent);
}

bool CMy758Doc::SaveWithReport(const QString& path, QWidget* parent) {
    QString why;
    if (SaveDocument(path, &why)) return true;
    ShowMessage(parent, QMessageBox::Warning, DocTemplateField(kDocWindowTitle), why);
    return false;
}

bool CMy758Doc::OpenWithReport(const QString& path, QWidget* parent) {
    QString why, note;
    if (OpenDocument(path, &why, &note)) {
        if (!note.isEmpty()) ShowMessage(parent, QMessageBox::Warning, DocTemplateField(kDocWindowTitle), note);
        return true;
    }
    ShowMessage(parent, QMessageBox::Warning, DocTemplateField(kDocWindowTitle), why);
    return false;
}
