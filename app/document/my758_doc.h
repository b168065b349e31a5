// The document: owns the one parameter model everything in the program
// edits, its program file and title, and the modified flag.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

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

    // The program differs from the file it was opened from or saved to (or,
    // for a new document, from the program it started with), or was marked
    // modified (a program imported, a Download that failed).
    bool IsModified() const;
    // true marks it modified until it is saved or replaced; false takes the
    // program as it stands as the unmodified one.
    void SetModified(bool modified);

    // File New: a fresh title; the model keeps every value.
    void NewDocument();
    // Reads a program file into the model. On failure returns false, leaves
    // the model untouched and says why (for the user) in *why. A file whose
    // image is damaged is opened, and *note says so. A file of the history
    // opens as an untitled copy (SetCopyTitles).
    bool OpenDocument(const QString& path, QString* why = nullptr, QString* note = nullptr);
    // Reads a program file into the model as a new untitled document
    // called `title` ("Recall 00:01 (from history)"): the file stays as it
    // is, Save asks for a name, and the recent-file list leaves it out.
    bool OpenCopy(const QString& path, const QString& title, QString* why = nullptr, QString* note = nullptr);
    // Writes the model to path and makes it the document's file. On failure
    // returns false, keeps the old file and says why in *why. A path in the
    // history's folder is refused (SafeFileWriter).
    bool SaveDocument(const QString& path, QString* why = nullptr);
    // For a file the program keeps for itself (the history's), the title of
    // the untitled copy OpenDocument makes of it; empty for any other file.
    void SetCopyTitles(std::function<QString(const QString& path)> title) { copy_titles_ = std::move(title); }

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
    // IsModified() changed (the title's mark follows it).
    void modifiedChanged(bool modified);

private:
    void SetPath(const QString& path);
    // Saves to path, reporting a failure with a message box over parent.
    bool SaveWithReport(const QString& path, QWidget* parent);

    // The program as it stands is the unmodified one.
    void MarkClean();
    // Looks again whether the program is modified and says so when that
    // changed.
    void CheckModified();

    CDSDATA model_;
    QString path_;
    QString copy_title_;  // an untitled copy's name
    std::function<QString(const QString&)> copy_titles_;
    bool forced_ = false;             // marked modified whatever the program holds
    std::unique_ptr<CDSDATA> clean_;  // the program as opened, saved or started
    bool shown_modified_ = false;     // what modifiedChanged last said
    QTimer check_;                    // one look per turn of the event loop
};
