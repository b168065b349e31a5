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

// Command strings: the status-bar prompt, then after "\n" the tooltip.
struct CommandText {
    QString prompt;
    QString tooltip;
};
CommandText SplitCommandString(const char* text);

inline constexpr const char* kCmdFileNew = "Create a new program document\nNew";
inline constexpr const char* kCmdFileOpen = "Open a program file\nOpen";
inline constexpr const char* kCmdFileSave = "Save the program to its file\nSave";
inline constexpr const char* kCmdFileSaveAs = "Save the program to a new file\nSave As";
inline constexpr const char* kCmdRecentFile = "Open this program file";
inline constexpr const char* kCmdExit = "Quit the program; asks to save the program first\nExit";
inline constexpr const char* kCmdFiguration = "Choose the output configuration and the stereo link\nFiguration";
inline constexpr const char* kCmdRs232 = "Choose the serial port of the device\nRS232";
inline constexpr const char* kCmdMemory = "Manage the memories of the device\nMemory";
inline constexpr const char* kCmdUpload = "Upload Current Program.\nUpload";
inline constexpr const char* kCmdDownload = "Download Current Program.\nDownload";
inline constexpr const char* kCmdToolbar = "Show or hide the toolbar\nToggle Toolbar";
inline constexpr const char* kCmdStatusBar = "Show or hide the status bar\nToggle Status Bar";
inline constexpr const char* kCmdAbout = "Show the program's version\nAbout";
inline constexpr const char* kIdlePrompt = "Ready";
