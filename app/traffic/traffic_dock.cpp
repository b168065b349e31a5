#include "traffic/traffic_dock.h"

#include <QAction>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "document/safe_file_writer.h"
#include "traffic/traffic_model.h"
#include "widgets/message_box.h"

namespace traffic {

namespace {
// Often enough to look live, rarely enough to cost nothing.
constexpr int kDrainMs = 100;

QToolButton* Button(const QString& text, const QString& tip, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(tip);
    b->setStatusTip(tip);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}
}  // namespace

TrafficDock::TrafficDock(QWidget* parent) : QDockWidget(QStringLiteral("Traffic"), parent) {
    setObjectName(QStringLiteral("trafficDock"));
    model_ = new TrafficModel(this);

    auto* body = new QWidget(this);
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    pause_ = Button(QStringLiteral("&Pause"), QStringLiteral("Stop listing messages for now"), body);
    pause_->setObjectName(QStringLiteral("pauseTraffic"));
    pause_->setCheckable(true);
    auto* clear_button = Button(QStringLiteral("&Clear"), QStringLiteral("Empty the list"), body);
    clear_button->setObjectName(QStringLiteral("clearTraffic"));
    bytes_ = Button(QStringLiteral("Show &bytes"), QStringLiteral("Show each message's bytes beside its words"), body);
    bytes_->setObjectName(QStringLiteral("showBytes"));
    bytes_->setCheckable(true);
    auto* save = Button(QStringLiteral("Save as &text..."), QStringLiteral("Save the list to a text file"), body);
    save->setObjectName(QStringLiteral("saveTraffic"));
    status_ = new QLabel(body);
    status_->setObjectName(QStringLiteral("trafficStatus"));
    bar->addWidget(pause_);
    bar->addWidget(clear_button);
    bar->addWidget(bytes_);
    bar->addWidget(save);
    bar->addStretch(1);
    bar->addWidget(status_);

    table_ = new QTableView(body);
    table_->setObjectName(QStringLiteral("trafficTable"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);  // one line a row
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnHidden(TrafficModel::kBytes, true);
    const int digit = table_->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    table_->setColumnWidth(TrafficModel::kTime, digit * 11);
    table_->setColumnWidth(TrafficModel::kDirection, digit * 11);
    table_->setColumnWidth(TrafficModel::kMessage, digit * 48);
    // Docked below the routing on a small screen it may shrink to its
    // header and one line: the routing keeps its rows.
    table_->setMinimumHeight(table_->horizontalHeader()->sizeHint().height() +
                             table_->verticalHeader()->defaultSectionSize() + 2 * table_->frameWidth());

    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(table_, 1);
    setWidget(body);

    timer_ = new QTimer(this);
    timer_->setInterval(kDrainMs);
    connect(timer_, &QTimer::timeout, this, &TrafficDock::drain);
    connect(pause_, &QToolButton::toggled, this, &TrafficDock::setPaused);
    connect(clear_button, &QToolButton::clicked, this, &TrafficDock::clear);
    connect(bytes_, &QToolButton::toggled, this,
            [this](bool on) { table_->setColumnHidden(TrafficModel::kBytes, !on); });
    connect(save, &QToolButton::clicked, this, &TrafficDock::saveAs);
    // The dock checks its action when it is shown and unchecks it when it is
    // closed; a window behind another tab stays open and goes on listing.
    connect(toggleViewAction(), &QAction::toggled, this, &TrafficDock::opened);
}

TrafficDock::~TrafficDock() { feed_.Stop(); }

void TrafficDock::opened(bool open) {
    if (open == open_) return;
    open_ = open;
    if (open) {
        // A fresh list, timed from now.
        model_->Clear();
        model_->SetOrigin(TrafficFeed::NowUs());
        dropped_ = 0;
    }
    updateCapture();
}

void TrafficDock::updateCapture() {
    if (open_ && !pause_->isChecked()) {
        feed_.Start();
        timer_->start();
    } else {
        feed_.Stop();
        drain();  // what came before the stop still belongs in the list
        timer_->stop();
    }
    updateStatus();
}

void TrafficDock::drain() {
    const std::vector<TrafficRecord> records = feed_.Take();
    dropped_ += feed_.TakeDropped();
    if (records.empty()) return;
    QScrollBar* scroll = table_->verticalScrollBar();
    const bool at_end = scroll->value() == scroll->maximum();
    model_->Append(records);
    if (at_end) table_->scrollToBottom();  // follow the traffic unless the user scrolled back
    updateStatus();
}

void TrafficDock::setPaused(bool paused) {
    if (pause_->isChecked() != paused) pause_->setChecked(paused);  // comes back here
    updateCapture();
}

void TrafficDock::clear() {
    model_->Clear();
    dropped_ = 0;
    updateStatus();
}

void TrafficDock::updateStatus() {
    QString text = pause_->isChecked() ? QStringLiteral("Paused") : QString();
    if (dropped_ > 0) {
        if (!text.isEmpty()) text += QStringLiteral(", ");
        text += QStringLiteral("%1 messages came too fast to list").arg(dropped_);
    }
    status_->setText(text);
}

bool TrafficDock::SaveText(const QString& path, QString* why) const {
    SafeFileWriter writer;
    return writer.Open(path, why) && writer.Commit(model_->Text(bytes_->isChecked()).toUtf8(), why);
}

void TrafficDock::saveAs() {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save Traffic as Text"), QStringLiteral("traffic.txt"),
                                     QStringLiteral("Text files (*.txt);;All files (*)"));
    if (path.isEmpty()) return;
    QString why;
    if (!SaveText(path, &why))
        ShowMessage(this, QMessageBox::Warning, QStringLiteral("Save as Text"),
                    QStringLiteral("The traffic list was not saved.\n%1").arg(why));
}

QAction* InstallTrafficDock(QMainWindow* frame) {
    auto* dock = new TrafficDock(frame);
    frame->addDockWidget(Qt::BottomDockWidgetArea, dock);
    dock->hide();
    QAction* toggle = dock->toggleViewAction();
    toggle->setChecked(false);
    toggle->setObjectName(QStringLiteral("viewTraffic"));
    toggle->setText(QStringLiteral("T&raffic"));
    toggle->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    const QString tip = QStringLiteral("Show or hide every message sent to and received from the unit");
    toggle->setToolTip(tip);
    toggle->setStatusTip(tip);
    return toggle;
}

}  // namespace traffic
