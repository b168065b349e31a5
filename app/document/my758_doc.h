// The document: owns the one parameter model everything in the program
// edits, its program file and title, and the modified flag.
#pragma once

#include <QObject>
#include <QString>

#include <kvcom/kvcom.h>

class QWidget;

class CMy758Doc : public QObject {
    Q_OBJECT

public:
    explicit CMy758Doc(QObject* parent = nullptr);

    CDSDATA& Model() { return model_; }
    const CDSDATA& Model() const { return model_; }

    // The file behind the document; empty for a new one.
    QString Path() const { return path_; }
    // "NoTitle" or the file's name.
    QString Title() const;

    bool IsModified() const { return modified_; }
    // Set only when the memory manager opens: from then on the program asks
    // before the document is replaced or the program ends.
    void SetModified(bool modified);

    // File New: a fresh title; the model keeps every value.
    void NewDocument();
    // Reads a program file into the model. On failure returns false, leaves
    // the model untouched and says why (for the user) in *why. A file whose
    // image is damaged is opened, and *note says so.
    bool OpenDocument(const QString& path, QString* why = nullptr, QString* note = nullptr);
    // Writes the model to path and makes it the document's file. On failure
    // returns false, keeps the old file and says why in *why.
    bool SaveDocument(const QString& path, QString* why = nullptr);

    // The question before the document is replaced or the program ends:
    // "Save changes to <title>?" when modified. Returns false when the user
    // cancels (or the save fails); true to go on.
    bool SaveModified(QWidget* parent);
    // File Save (asks for a name when there is none) and File Save As.
    bool FileSave(QWidget* parent);
    bool FileSaveAs(QWidget* parent);
    // Opens path, reporting a refusal (or the note on a damaged image) with a
    // message box over parent.
    bool OpenWithReport(const QString& path, QWidget* parent);

    // The file-dialog filter, "Kalvore Files (*.syx)".
    static QString FileFilter();

signals:
    void titleChanged(const QString& title);
    // A new or opened document: the view shows the model afresh.
    void documentReset();
    // A file was opened or saved under path (for the recent-file list).
    void fileUsed(const QString& path);

private:
    void SetPath(const QString& path);
    // Saves to path, reporting a failure with a message box over parent.
    bool SaveWithReport(const QString& path, QWidget* parent);

    CDSDATA model_;
    QString path_;
    bool modified_ = false;
};
