// The channel sheet: a modal dialog captioned "KV758 - <page>" holding the input page
// and the output pages that the output configuration and the stereo link
// call for. It is made afresh for every press of a routing-view button and
// opens on the page of that button. Every change on a page was sent the
// moment it was made, so OK, Cancel and the close box only close the sheet.
#pragma once

#include <QDialog>
#include <vector>

#include <kvcom/kvcom.h>

class ChannelEditors;
class ChannelPage;
class QTabWidget;

class CDlgSettings : public QDialog {
    Q_OBJECT
public:
    // output: 0..5 opens on the page that edits that output (the page of its
    // pair while linked), -1 on the input page.
    CDlgSettings(CDSDATA& model, int output, QWidget* parent = nullptr);

    // The editors every page opens from its grid cells (nullptr: the default).
    void SetEditors(ChannelEditors* editors);

    QTabWidget* Tabs() const { return tabs_; }

    // One output page of a configuration: the output it edits, the partner it
    // edits along (-1 for none) and its tab caption ("&&" shows one "&").
    struct OutputPage {
        int output;
        int partner;
        const char* caption;
    };
    static std::vector<OutputPage> OutputPages(int figuration, bool link_on);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ActivateCurrent();
    void UpdateTitle();

    QTabWidget* tabs_;
    std::vector<ChannelPage*> pages_;  // in tab order, the input page first
};
