#include "shell/about_dlg.h"

#include <QLabel>

#include "widgets/dialog_buttons.h"
#include "widgets/dialog_units.h"
#include "widgets/icons.h"
#include "widgets/string_table.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits du;
    setFixedSize(du.size(235, 74));

    icon_ = new QLabel(this);
    icon_->setGeometry(du.rect(11, 12, 20, 20));
    icon_->setPixmap(icons::ProgramIcon().pixmap(icon_->size()));

    auto line = [this, &du](const char* text, int y, const char* name) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setObjectName(QString::fromLatin1(name));
        label->setGeometry(du.rect(40, y, 135, 10));
        return label;
    };
    version_ = line(kVersionText, 8, "version");
    notice_ = line(kNoticeText, 22, "notice");
    notice_->setWordWrap(true);
    notice_->setGeometry(du.rect(40, 20, 135, 18));
    maker_ = line(kMakerText, 40, "maker");
    build_ = line(kBuildText, 54, "build");

    AddOkButton(this, du, 178, 7);
}
