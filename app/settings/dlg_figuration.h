// Chooses the output configuration and the stereo link. On OK the model
// already holds the new figuration and link_on; the caller acts on them.
#pragma once

#include <QDialog>

class CDSDATA;
class QCheckBox;
class QComboBox;

class CDlgFiguration : public QDialog {
    Q_OBJECT

public:
    explicit CDlgFiguration(CDSDATA& model, QWidget* parent = nullptr);

    QComboBox* configurationList() const { return list_; }
    QCheckBox* stereoLinkBox() const { return link_; }

public slots:
    void accept() override;

private:
    void onSelectionChanged(int index);

    CDSDATA& model_;
    QComboBox* list_;
    QCheckBox* link_;
};
