// Answers for the memory manager's questions, and what it told the user,
// so tests drive it without native dialogs or message boxes.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstring>
#include <optional>

#include <kvcom/kvcom.h>

#include "memory/dlg_memory.h"
#include "reception.h"

namespace kvtest {

struct ScriptedUser {
    QString save_path;                  // empty: the save dialog is cancelled
    QString open_path;                  // empty: the open dialog is cancelled
    bool confirm_answer = true;         // OK to "Confirm memory overwrite."
    std::optional<QString> typed_name;  // nullopt: the name prompt is cancelled
    QStringList questions;              // "caption: text" of every question
    QStringList name_prompts;           // "memory: proposed name"
    QStringList told;                   // "caption: text" of every message
    bool store_all_answer = true;       // go on with Store All
    bool keep_copy_answer = false;      // keep a copy of the unit's memories first
    bool keep_copy_offered = false;     // what the Store All question proposed
    bool load_all_answer = true;        // go on with Load All
    QStringList confirmations;          // the texts of Store All's and Load All's questions

    void Attach(CDlgMemory& dialog) {
        dialog.prompts.save_path = [this](QWidget*) { return save_path; };
        dialog.prompts.open_path = [this](QWidget*) { return open_path; };
        dialog.prompts.confirm = [this](QWidget*, const QString& text, const QString& caption) {
            questions << caption + QStringLiteral(": ") + text;
            return confirm_answer;
        };
        dialog.prompts.ask_name = [this](QWidget*, int memory, QString& name) {
            name_prompts << QString::number(memory) + QStringLiteral(": ") + name;
            if (!typed_name) return false;
            name = *typed_name;
            return true;
        };
        dialog.prompts.tell = [this](QWidget*, const QString& text, const QString& caption) {
            told << caption + QStringLiteral(": ") + text;
        };
        dialog.prompts.confirm_store_all = [this](QWidget*, const QString& text, bool& keep_copy) {
            confirmations << text;
            keep_copy_offered = keep_copy;
            keep_copy = keep_copy_answer;
            return store_all_answer;
        };
        dialog.prompts.confirm_once = [this](QWidget*, const QString& text, const QString&) {
            confirmations << text;
            return load_all_answer;
        };
    }
};

// The reader left as if nothing had been received: a test whose unit did not
// answer leaves the reply flag raised.
inline void ResetReception() {
    kvcom::rev_busy = 0;
    kvcom::rev_mode = kvcom::REV_IDLE;
    kvcom::ResetAccumulation();
}

// The image `model` writes for `memory` under `name`.
inline QByteArray ImageOf(const CDSDATA& model, int memory, const char* name) {
    CDSDATA m(model);  // the copy leaves the memory table alone
    m.mem_num = static_cast<char>(memory);
    std::memset(m.prog_name, 0, sizeof m.prog_name);
    std::memcpy(m.prog_name, name, strnlen(name, 8));
    unsigned char buf[KV_IMAGE_MAX];
    const int n = m.SaveData(buf);
    return QByteArray(reinterpret_cast<const char*>(buf), n);
}

inline QString TableName(int m) { return QString::fromLatin1(data_name[m]); }

}  // namespace kvtest
