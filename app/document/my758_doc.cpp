#include "document/my758_doc.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <cstring>

#include "device/device_line.h"
#include "document/program_file.h"
#include "kvhistory/model_fields.h"
#include "kvprog/describe.h"
#include "document/safe_file_writer.h"
#include "widgets/message_box.h"
#include "widgets/string_table.h"

CMy758Doc::CMy758Doc(QObject* parent) : QObject(parent), clean_(std::make_unique<CDSDATA>(model_)) {
    // Every edit, undo, device task and remote change of the model is told
    // on the line; the title's mark follows once per turn of the event loop.
    check_.setSingleShot(true);
    check_.setInterval(0);
    connect(&check_, &QTimer::timeout, this, &CMy758Doc::CheckModified);
    connect(&device::Line(), &device::DeviceLine::modelChanged, this, [this](const CDSDATA* m) {
        if (m == &model_ && !check_.isActive()) check_.start();
    });
}

bool CMy758Doc::IsModified() const {
    if (forced_) return true;
    const CDSDATA& clean = *clean_;
    // Settings, configuration and name as a file holds them; the editing
    // cursors and the memory chosen in the memory manager are no change.
    if (clean.figuration == model_.figuration && clean.link_on == model_.link_on &&
        std::memcmp(clean.prog_name, model_.prog_name, sizeof clean.prog_name) == 0 &&
        history::Flatten(clean) == history::Flatten(model_))
        return false;
    return !kvprog::Diff(clean, model_).empty();
}

void CMy758Doc::MarkClean() {
    forced_ = false;
    *clean_ = model_;
    CheckModified();
}

void CMy758Doc::CheckModified() {
    check_.stop();
    const bool now = IsModified();
    if (now == shown_modified_) return;
    shown_modified_ = now;
    emit modifiedChanged(now);
}

QString CMy758Doc::Title() const {
    if (!path_.isEmpty()) return QFileInfo(path_).fileName();
    return copy_title_.isEmpty() ? DocTemplateField(kDocDefaultName) : copy_title_;
}

void CMy758Doc::SetModified(bool modified) {
    if (!modified) {
        MarkClean();
        return;
    }
    forced_ = true;
    CheckModified();
}

void CMy758Doc::SetPath(const QString& path) {
    path_ = path;
    copy_title_.clear();
    emit titleChanged(Title());
}

void CMy758Doc::NewDocument() {
    SetPath(QString());
    MarkClean();
    emit documentReset();
}

bool CMy758Doc::OpenDocument(const QString& path, QString* why, QString* note) {
    // A file the program keeps for itself is never the document's file.
    const QString copy_title = copy_titles_ ? copy_titles_(path) : QString();
    if (!copy_title.isEmpty()) return OpenCopy(path, copy_title, why, note);
    if (!programfile::ReadFile(path, model_, why, note)) return false;
    SetPath(QFileInfo(path).absoluteFilePath());
    MarkClean();
    emit fileUsed(path_);
    emit documentReset();
    return true;
}

bool CMy758Doc::OpenCopy(const QString& path, const QString& title, QString* why, QString* note) {
    if (!programfile::ReadFile(path, model_, why, note)) return false;
    path_.clear();
    copy_title_ = title;
    emit titleChanged(Title());
    MarkClean();
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
    SetPath(QFileInfo(path).absoluteFilePath());
    MarkClean();
    emit fileUsed(path_);
    return true;
}

QString CMy758Doc::FileFilter() { return DocTemplateField(kDocFilter); }

bool CMy758Doc::SaveModified(QWidget* parent) {
    if (!IsModified()) return true;
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
