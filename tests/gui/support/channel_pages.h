// Helpers shared by the tests of the channel sheet and its pages.
#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <functional>
#include <QStringList>
#include <initializer_list>
#include <vector>

#include <kvcom/kvcom.h>

#include "channel/channel_editors.h"
#include "wire_recorder.h"

namespace kvtest::channel_pages {

// The messages recorded so far, one hex line each ("F0 00 20 ...").
inline QString Sent(const kvtest::WireRecorder& wire) {
    QStringList lines;
    for (const auto& m : wire.Messages()) lines << QString::fromStdString(kvtest::ToHex(m));
    return lines.join(QLatin1Char('\n'));
}

// Expected messages in the same form.
inline QString Lines(std::initializer_list<const char*> messages) {
    QStringList lines;
    for (const char* m : messages) lines << QString::fromLatin1(m);
    return lines.join(QLatin1Char('\n'));
}

// The named child of a page; ends the test program when it is missing.
template <class T>
T* Child(const QWidget* parent, const char* name) {
    T* w = parent->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no child %s", name);
    return w;
}

// Replaces the edit's text as if typed, then presses Enter in it.
inline void TypeAndEnter(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

// Shows a top-level widget and makes it the active window, so focus moves
// between its controls as it does for the user.
inline bool ShowActive(QWidget* w) {
    w->show();
    QApplication::setActiveWindow(w);
    return QTest::qWaitForWindowActive(w);
}

// Stands in for the editor dialogs: records what a page asked for, with the
// cursors as the page had set them, and lets a test change the model as an
// editor would.
class RecordingEditors final : public ChannelEditors {
public:
    struct Call {
        bool eq;  // EQ editor, else crossover editor
        bool hide_crossover;
        int cur_chan, cur_slot, cur_eq, xo_side;
    };
    std::vector<Call> calls;
    std::function<void(CDSDATA&)> edit;  // runs inside the "editor"

    void EditEq(CDSDATA& m, bool hide_crossover, QWidget*) override {
        calls.push_back({true, hide_crossover, m.cur_chan, m.cur_slot, m.cur_eq, m.xo_side});
        if (edit) edit(m);
    }
    void EditCrossover(CDSDATA& m, QWidget*) override {
        calls.push_back({false, false, m.cur_chan, m.cur_slot, m.cur_eq, m.xo_side});
        if (edit) edit(m);
    }
};

// Factory values of a configuration with the link on or off.
inline void Configure(CDSDATA& m, int figuration, int link) {
    m.figuration = static_cast<char>(figuration);
    m.link_on = link;
    m.InitData();
}

}  // namespace kvtest::channel_pages
