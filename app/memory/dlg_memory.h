// The memory manager: lists the unit's 60 memories, refreshes the list from
// the unit, recalls one into the PC's model, stores the model into one, and
// moves the whole set between the unit, the library's memory table and bank
// files. It holds no data of its own: the list always shows the table.
#pragma once

#include <QDialog>
#include <QString>
#include <chrono>
#include <functional>
#include <vector>

class CDSDATA;
class CMy758Doc;
class DeviceTaskProgress;
class QLabel;
class QPushButton;
class QTableWidget;

// How the memory manager asks and tells the user. Each member can be
// replaced (tests answer for the user here); StandardMemoryPrompts() gives
// the real file dialogs, name prompt and message boxes.
struct MemoryPrompts {
    // The bank file to save to or to open; empty when the user cancelled.
    std::function<QString(QWidget* parent)> save_path;
    std::function<QString(QWidget* parent)> open_path;
    // The memory-name prompt for `memory`: `name` comes in as the proposed
    // name and goes out as typed. False when the user cancelled.
    std::function<bool(QWidget* parent, int memory, QString& name)> ask_name;
    // A question with OK and Cancel: true for OK.
    std::function<bool(QWidget* parent, const QString& text, const QString& caption)> confirm;
    // A message with an OK button.
    std::function<void(QWidget* parent, const QString& text, const QString& caption)> tell;
    // Store All's question, with the offer to keep a copy of the unit's
    // memories first (keep_copy comes in on and goes out as chosen). True
    // to go on.
    std::function<bool(QWidget* parent, const QString& text, bool& keep_copy)> confirm_store_all;
    // A question about something that loses nothing (Load All), with "Do
    // not ask again", remembered in the settings under `key`. True to go on.
    std::function<bool(QWidget* parent, const QString& text, const QString& key)> confirm_once;
};

MemoryPrompts StandardMemoryPrompts();

// Store All's work, off the GUI thread: the library's SendMEMStoreAll with
// one progress step per image as it goes out (the used memories 60 down to
// 1, then the working program), then `settle` for the unit to take in the
// last image. A Cancel in the progress window stops it before the next
// image. Returns what SendMEMStoreAll returned.
// When it stops, `outcome` (may be null) says how far it came.
struct StoreAllOutcome {
    int stored = 0;                    // memories the unit got whole
    int total = 0;                     // the used memories to store
    int lost_at = -1;                  // the memory in hand when it stopped (0: the working program), -1: none
    bool cancelled = false;            // stopped by Cancel, before the next image: nothing was cut short
    std::vector<int> stored_memories;  // the memories the unit got whole, as they went out (60 down)
};
int StoreAllMemories(CDSDATA& model, DeviceTaskProgress& progress, std::chrono::milliseconds settle,
                     StoreAllOutcome* outcome = nullptr);

// Refresh's work, off the GUI thread: the library's MemRefresh, telling the
// number of memories received so far as they come in. A Cancel in the
// progress window ends the wait with the memory table as it was and sets
// `cancelled` (may be null).
int RefreshMemories(CDSDATA& model, DeviceTaskProgress& progress, bool* cancelled = nullptr);

class CDlgMemory : public QDialog {
    Q_OBJECT

public:
    explicit CDlgMemory(CDSDATA& model, QWidget* parent = nullptr);

    // 1 once a Recall succeeded or Store All ran: the model changed, and
    // whoever opened the dialog shows it again.
    int ResultFlag() const { return result_flag_; }

    // What the question in hand puts at stake, shown under it ("Memory 5
    // 'OLDNAME' on the unit will be overwritten ...").
    QString ConfirmationDetail() const { return confirmation_detail_; }
    // Where the memory table came from: "from the unit, 14:02", "from
    // show.ay", or that it was not read yet.
    static QString TableSource();
    // The table was just read from the unit (here or by another window).
    static void NoteTableReadFromUnit();

    MemoryPrompts prompts = StandardMemoryPrompts();

signals:
    // Verify: the selected memory of the unit against the PC's program.
    void verifyRequested(int memory);

public slots:
    // The buttons, in the order they stand.
    void refresh();
    void store();
    void recall();
    void loadAll();
    void storeAll();
    void saveAll();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void selectionChanged();

private:
    void FillList();
    void SizeColumns();
    // Reads the memory list behind the progress dialog, which offers
    // Cancel; `cancelled` (may be null) tells whether the user took it.
    int RunRefresh(bool* cancelled = nullptr);
    // True while the link is open; otherwise tells the user so, once.
    bool UnitReachable();
    // Reads the unit's memories into the history as a bank, leaving the
    // PC's memory table as it was. False when the user cancelled the read
    // (Store All then stops before sending anything).
    bool KeepUnitMemories();
    void ShowTableSource();

    CDSDATA& model_;
    int result_flag_ = 0;
    QTableWidget* list_;
    QPushButton* refresh_;
    QPushButton* store_;
    QPushButton* recall_;
    QPushButton* load_all_;
    QPushButton* store_all_;
    QPushButton* save_all_;
    QPushButton* verify_;
    QPushButton* exit_;
    QLabel* note_;
    QLabel* source_;
    QString confirmation_detail_;
};

// The Memory command: runs the memory manager modally on the document's
// model and returns its result flag (1: the model changed and the view shows
// it again).
int RunMemoryManager(CMy758Doc& doc, QWidget* parent);
