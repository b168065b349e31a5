// The routing view: the input buttons, six rows of output buttons, the red
// routing lines and the output labels for the current configuration, and
// the commands that act on the whole device. It reads figuration and
// link_on from the document's model and keeps no model data of its own.
#pragma once

#include <QHash>
#include <QLine>
#include <QRect>
#include <QVector>
#include <QWidget>

class CMy758Doc;
class QLabel;
class QPushButton;

class CMy758View : public QWidget {
    Q_OBJECT

public:
    explicit CMy758View(CMy758Doc* doc, QWidget* parent = nullptr);

    CMy758Doc* document() const { return doc_; }
    // The button with control id `id` (see routing_layout.h), or nullptr.
    QPushButton* button(int id) const { return buttons_.value(id); }
    QLabel* logoControl() const { return logo_; }

    // Where the lines and labels go, in view pixels, from the buttons'
    // rectangles: xs the right edge of InA, xm halfway between InSUM A+B
    // and the Gain column, xe 20 pixels right of the Limit column, and the
    // centre of every row.
    struct LineGeometry {
        int xs = 0;
        int xm = 0;
        int xe = 0;
        int row_y[6] = {};
    };
    LineGeometry lineGeometry() const;
    // The segments drawn for the current configuration: per input group the
    // feed from the input, one line per row it feeds, and the riser joining
    // them. Empty for an unknown configuration.
    QVector<QLine> routingLines() const;
    // Row labels, "Out 1" to "Out 6", top to bottom (empty when unknown).
    QStringList rowLabels() const;

signals:
    // A row or input button asks for the channel sheet: on the page of
    // output `output` (0..5), or on the input page when output is -1.
    void channelSheetRequested(int output);

public slots:
    // Shows the inputs of the current configuration and the logo, and
    // repaints: after a new or opened document, Figuration, a successful
    // Upload, and a memory manager run that changed the model.
    void reinitialise();

    void onFiguration();
    void onRs232();
    // Config/Memory: runs the memory manager, and shows the model again
    // when it changed it.
    void onMemory();
    void onUpload();
    void onDownload();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void createButtons();
    void placeInB();
    int figuration() const;

    CMy758Doc* doc_;
    QHash<int, QPushButton*> buttons_;
    QLabel* logo_;
};
