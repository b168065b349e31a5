// What the input page and the output pages of the channel sheet share: the
// model they edit, the editors they open, Enter handling and placement of
// controls in dialog units.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include <kvcom/kvcom.h>

#include "channel/channel_layout.h"
#include "widgets/dialog_units.h"

class ChannelEditors;
class CommitEdit;
class QLabel;
class SpinButtons;

class ChannelPage : public QWidget {
    Q_OBJECT
public:
    ChannelPage(CDSDATA& model, QWidget* parent);
    ~ChannelPage() override;

    // Re-reads everything shown from the model. The sheet runs it each time
    // the page becomes the active tab, so edits made elsewhere show up.
    virtual void Activate() = 0;

    // The editors opened by the grid cells; nullptr restores the default.
    void SetEditors(ChannelEditors* editors) { editors_ = editors; }

protected:
    // Shows the model's values in the page's edits again.
    virtual void ShowTexts() = 0;

    ChannelEditors& Editors() const;

    // Enter in the edit runs on_enter and then shows the texts; leaving the
    // edit without Enter shows the model's text again.
    void WireEdit(CommitEdit* edit, const std::function<void()>& on_enter);

    template <class W>
    W* Place(W* widget, const channel_layout::DuRect& r) {
        widget->setGeometry(du_.rect(r.x, r.y, r.w, r.h));
        return widget;
    }
    QLabel* AddLabel(const QString& text, const channel_layout::DuRect& r,
                     Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
    // A delay edit with its arrows at the right end of `r`.
    void PlaceWithSpin(CommitEdit* edit, SpinButtons* spin, const channel_layout::DuRect& r);

    // Enter anywhere else in the page only shows the texts again; the key
    // never reaches the sheet, so it never closes it.
    void keyPressEvent(QKeyEvent* event) override;

    CDSDATA& model_;
    const DialogUnits du_;

private:
    ChannelEditors* editors_ = nullptr;
    std::vector<CommitEdit*> wired_edits_;
};
