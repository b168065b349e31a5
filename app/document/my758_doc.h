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

    CDSDATA& model() { return model_; }
    const CDSDATA& model() const { return model_; }

    // The file behind the document; empty for a new one.
    QString path() const { return path_; }
    // "NoTitle" or the file's name.
    QString title() const;

    bool isModified() const { return modified_; }
    // Set only when the memory manager opens: from then on the program asks
    // before the document is replaced or the program ends.
    void setModified(bool modified);

    // File New: a fresh title; the model keeps every value.
    void newDocument();
    // Reads a program file into the model. On failure returns false, leaves
    // the model untouched and says why (for the user) in *why.
    bool openDocument(const QString& path, QString* why = nullptr);
    // Writes the model to path and makes it the document's file. On failure
    // returns false, keeps the old file and says why in *why.
    bool saveDocument(const QString& path, QString* why = nullptr);

    // The question before the document is replaced or the program ends:
    // "Save changes to <title>?" when modified. Returns false when the user
    // cancels (or the save fails); true to go on.
    bool saveModified(QWidget* parent);
    // File Save (asks for a name when there is none) and File Save As.
    bool fileSave(QWidget* parent);
    bool fileSaveAs(QWidget* parent);
    // Opens path, reporting a refusal with a message box over parent.
    bool openWithReport(const QString& path, QWidget* parent);

    // The file-dialog filter, "Kalvore Files (*.syx)".
    static QString fileFilter();

signals:
    void titleChanged(const QString& title);
    // A new or opened document: the view shows the model afresh.
    void documentReset();
    // A file was opened or saved under path (for the recent-file list).
    void fileUsed(const QString& path);

private:
    void setPath(const QString& path);
    // Saves to path, reporting a failure with a message box over parent.
    bool saveWithReport(const QString& path, QWidget* parent);

    CDSDATA model_;
    QString path_;
    bool modified_ = false;
};
