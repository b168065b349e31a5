// The program's own texts: the string table that the library reads on the
// program's behalf (TalsenLoadRCStr), the fixed texts of the About dialog
// and the channel sheet, the document template and the command prompts.
#pragma once

#include <QString>

// String-table entries read through TalsenLoadRCStr.
enum StringId : int {
    IDS_LOCK_NAME = 1,      // "KALVORE": also the single-instance lock's name
    IDS_APP_RUNNING = 2,    // "Application is running!"
    IDS_ERROR_CAPTION = 3,  // "Error"
    IDS_RS232_FAILED = 4,   // "RS232 Connection failed.\r\nPlease select another port."
    IDS_APP_CAPTION = 5,    // "KALVORE"
};

// The table itself: the text of entry id, or nullptr for an unknown id.
const char* ProgramString(int id);

// Hands the table to the library so TalsenLoadRCStr can return its entries.
void RegisterProgramStrings();

// An entry as the library returns it, made fit for a label: "\r\n" becomes
// a plain line break.
QString LoadProgramString(int id);

// Fixed texts.
inline constexpr const char* kVersionText = "OV758 Version 2.30   ";
inline constexpr const char* kBuildText = "Build:2009-08-23";
inline constexpr const char* kMakerText = "ORVETH";
inline constexpr const char* kSheetCaption = "KV758";
inline constexpr const char* kNoticeText = "Control program for the Kalvore loudspeaker management processor";

// The document template: window title, default document name, new-file
// type name, file-dialog filter name, extension, shell type id, shell type
// description.
inline constexpr const char* kDocTemplate =
    "KALVORE\nNoTitle\nKalvore\nKalvore Files (*.syx)\n.syx\nKalvore.Document\nKalvore Document";
enum DocTemplateField {
    kDocWindowTitle,
    kDocDefaultName,
    kDocTypeName,
    kDocFilter,
    kDocExtension,
    kDocShellId,
    kDocShellDescription
};
QString DocTemplateField(DocTemplateField field);

// Command strings: the status-bar prompt, then after "\n" the tooltip (the
// frame adds the shortcut to it). Both say what the command does, in the
// words of the person at the desk.
struct CommandText {
    QString prompt;
    QString tooltip;
};
CommandText SplitCommandString(const char* text);

inline constexpr const char* kCmdFileNew =
    "Start a new document; the settings stay as they are\nNew: start a new program document";
inline constexpr const char* kCmdFileOpen =
    "Open a program file; nothing goes to the unit\nOpen: open a program file into the PC";
inline constexpr const char* kCmdFileSave = "Save the program to its file\nSave: save the program to its file";
inline constexpr const char* kCmdFileSaveAs = "Save the program to a new file\nSave As: save the program to a new file";
inline constexpr const char* kCmdRecentFile = "Open this program file";
inline constexpr const char* kCmdExit = "Quit; asks to save the program first\nExit: quit the program";
inline constexpr const char* kCmdFiguration =
    "Choose outputs and stereo link; resets all settings\n"
    "Figuration: choose the output configuration and the stereo link; every setting goes back to its factory "
    "value";
inline constexpr const char* kCmdRs232 =
    "Choose the serial port of the unit\nRS232: choose the serial port the unit is connected to";
inline constexpr const char* kCmdMemory =
    "Store, recall and back up the unit's memories\n"
    "Memory: list, store and recall the unit's memories, and keep them all in bank files";
inline constexpr const char* kCmdUpload =
    "Fetch the unit's working program into the PC\nUpload: fetch the unit's working program into the PC";
inline constexpr const char* kCmdDownload =
    "Send the PC's program to the unit; mutes outputs\n"
    "Download: send the PC's program to the unit as its working program; every output is muted";
inline constexpr const char* kCmdToolbar = "Show or hide the toolbar\nToolbar: show or hide the toolbar";
inline constexpr const char* kCmdStatusBar = "Show or hide the status bar\nStatus Bar: show or hide the status bar";
inline constexpr const char* kCmdAbout = "Show the program's version\nAbout: the program's version";
inline constexpr const char* kIdlePrompt = "Ready";
