// Help/About: the program icon and four lines of fixed text.
#pragma once

#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    QLabel* versionLabel() const { return version_; }
    QLabel* noticeLabel() const { return notice_; }
    QLabel* makerLabel() const { return maker_; }
    QLabel* buildLabel() const { return build_; }

private:
    QLabel* icon_;
    QLabel* version_;
    QLabel* notice_;
    QLabel* maker_;
    QLabel* build_;
};
