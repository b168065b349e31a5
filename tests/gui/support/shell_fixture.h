// Test helpers for windows that live in the main frame: a document in a
// shown frame over private settings, as the running program has them.
#pragma once

#include <QByteArray>

#include "document/my758_doc.h"
#include "shell/main_frame.h"
#include "private_settings.h"

class CMy758View;

namespace kvtest {

class ShellFixture {
public:
    ShellFixture();
    ShellFixture(const ShellFixture&) = delete;
    ShellFixture& operator=(const ShellFixture&) = delete;

    CMy758Doc& doc() { return doc_; }
    CMainFrame& frame() { return frame_; }
    CMy758View* view() const { return frame_.view(); }
    CDSDATA& model() { return doc_.Model(); }

private:
    TestSettings settings_;
    CMy758Doc doc_;
    CMainFrame frame_;
};

// The program image the model writes.
QByteArray ImageOf(const CDSDATA& model);

}  // namespace kvtest
