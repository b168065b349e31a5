#include "document/my758_doc.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "document/program_file.h"
#include "document/safe_file_writer.h"
#include "widgets/string_table.h"

CMy758Doc::CMy758Doc(QObject* parent) : QObject(parent) {}

QString CMy758Doc::title() const {
    return path_.isEmpty() ? DocTemplateField(kDocDefaultName) : QFileInfo(path_).fileName();
}

void CMy758Doc::setModified(bool modified) { modified_ = modified; }

void CMy758Doc::setPath(const QString& path) {
    path_ = path;
    emit titleChanged(title());
}

void CMy758Doc::newDocument() {
    modified_ = false;
    setPath(QString());
    emit documentReset();
}

bool CMy758Doc::openDocument(const QString& path, QString* why) {
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (why) *why = tr("Cannot open %1: %2").arg(name, file.errorString());
        return false;
    }
    // Never read more than one byte past the limit: enough to refuse.
    const QByteArray content = file.read(programfile::kReadBufferSize + 1);
    if (!programfile::Decode(content, name, model_, why)) return false;
    modified_ = false;
    setPath(QFileInfo(path).absoluteFilePath());
    emit fileUsed(path_);
    emit documentReset();
    return true;
}

bool CMy758Doc::saveDocument(const QString& path, QString* why) {
    // A failed save leaves the old file as it was.
    SafeFileWriter file;
    QString reason;
    if (!file.Open(path, &reason) || !file.Commit(programfile::Encode(model_), &reason)) {
        if (why) *why = tr("Cannot save %1: %2").arg(QFileInfo(path).fileName(), reason);
        return false;
    }
    modified_ = false;
    setPath(QFileInfo(path).absoluteFilePath());
    emit fileUsed(path_);
    return true;
}

QString CMy758Doc::fileFilter() { return DocTemplateField(kDocFilter); }

bool CMy758Doc::saveModified(QWidget* parent) {
    if (!modified_) return true;
    const auto answer = QMessageBox::question(
        parent, DocTemplateField(kDocWindowTitle), tr("Save changes to %1?").arg(title()),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::No) return true;
    return fileSave(parent);
}

bool CMy758Doc::fileSave(QWidget* parent) {
    if (path_.isEmpty()) return fileSaveAs(parent);
    return saveWithReport(path_, parent);
}

bool CMy758Doc::fileSaveAs(QWidget* parent) {
    QFileDialog dialog(parent, tr("Save As"), path_.isEmpty() ? title() : path_, fileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(DocTemplateField(kDocExtension).mid(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    return saveWithReport(dialog.selectedFiles().constFirst(), parent);
}

bool CMy758Doc::saveWithReport(const QString& path, QWidget* parent) {
    QString why;
    if (saveDocument(path, &why)) return true;
    QMessageBox::warning(parent, DocTemplateField(kDocWindowTitle), why);
    return false;
}

bool CMy758Doc::openWithReport(const QString& path, QWidget* parent) {
    QString why;
    if (openDocument(path, &why)) return true;
    QMessageBox::warning(parent, DocTemplateField(kDocWindowTitle), why);
    return false;
}
