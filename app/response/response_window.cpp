#include "response/response_window.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSvgGenerator>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "compare/program_source.h"
#include "document/my758_doc.h"
#include "document/safe_file_writer.h"
#include "kvprog/settings.h"
#include "kvresponse/channel_transfer.h"
#include "kvresponse/response_table.h"
#include "response/curve_colours.h"
#include "response/model_watch.h"
#include "response/response_plot.h"
#include "widgets/message_box.h"
#include "widgets/screen_fit.h"

namespace response {

namespace {

const char* const kProgramFilter = "Programs (*.syx *.json);;All files (*)";
const char* const kMeasurementFilter = "Measurements (*.txt *.frd *.csv *.dat);;All files (*)";
const char* const kPictureFilter = "PNG picture (*.png);;SVG drawing (*.svg)";
const char* const kCsvFilter = "Comma-separated values (*.csv)";
constexpr double kExportScale = 2;  // PNG pixels per point: sharp on a high-density screen and in print

QString Tr(const char* text) { return ResponseWindow::tr(text); }

QPixmap Swatch(const QColor& colour, qreal dpr) {
    QPixmap pixmap(QSize(14, 14) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(1, 1, 12, 12), 2, 2);
    return pixmap;
}

QString Cell(double value, int decimals) {
    if (std::isinf(value) && value < 0) return Tr("silent");
    return std::isfinite(value) ? QString::fromStdString(kvresponse::FixedText(value, decimals)) : QStringLiteral("-");
}

// "Out 1 L Low", "Out 3 Mid (muted)".
QString OutputTitle(const CDSDATA& m, int output) {
    const auto name = static_cast<std::size_t>(static_cast<unsigned char>(m.out_name[output]));
    QString text = QStringLiteral("Out %1").arg(output + 1);
    if (name < kvprog::kOutputNames.size()) text += QLatin1Char(' ') + QString::fromLatin1(kvprog::kOutputNames[name]);
    if (m.out_mute[output] != 0) text += Tr(" (muted)");
    return text;
}

QString GroupTitle(const CDSDATA& m, const std::vector<int>& outputs) {
    static const char* const kSources[] = {"In A", "In B", "In SUM A+B"};
    const int source = kvresponse::OutputSource(m, outputs.front());
    return Tr("%1: %2").arg(QString::fromLatin1(kSources[source]),
                            QString::fromStdString(kvresponse::SumTitle(outputs)));
}

}  // namespace

ResponseWindow::ResponseWindow(CMy758Doc& doc, QWidget* parent)
    : QDialog(parent),
      doc_(doc),
      watch_(new ModelWatch(doc, this)),
      hz_(kvresponse::LogGrid(kvresponse::kLowestHz, kvresponse::kHighestHz, kPoints)),
      drivers_(hz_) {
    setWindowTitle(Tr("System response"));
    setModal(false);
    setSizeGripEnabled(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);

    // The program shown, the sum and the phase, and the exports.
    program_choice_ = new QComboBox(this);
    program_choice_->addItem(Tr("PC program"));
    program_choice_->setToolTip(Tr("The PC's program (follows every edit), or a program file"));
    auto* open_file = new QPushButton(Tr("Program &file..."), this);
    open_file->setToolTip(Tr("Show the response of a program file (.syx or JSON) without opening it"));
    sum_choice_ = new QComboBox(this);
    sum_choice_->setToolTip(Tr("The outputs added in the sum: those one input feeds, or those ticked below"));
    unwrapped_ = new QCheckBox(Tr("&Unwrapped phase"), this);
    unwrapped_->setToolTip(Tr("Show the phase continuous over frequency instead of within +-180 degrees"));
    auto* export_picture = new QPushButton(Tr("Export &picture..."), this);
    export_picture->setToolTip(Tr("Save the plot as a PNG picture or an SVG drawing"));
    auto* export_csv = new QPushButton(Tr("Export &CSV..."), this);
    export_csv->setToolTip(Tr("Save level, phase and group delay of the curves shown, one line per frequency"));
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(Tr("Program:"), this));
    top->addWidget(program_choice_);
    top->addWidget(open_file);
    top->addSpacing(12);
    top->addWidget(new QLabel(Tr("Sum:"), this));
    top->addWidget(sum_choice_, 1);
    top->addWidget(unwrapped_);
    top->addSpacing(12);
    top->addWidget(export_picture);
    top->addWidget(export_csv);

    plot_ = new ResponsePlot(this);

    // One row per output and one for the sum: colour, shown, in the sum,
    // the readouts at the cursor, the driver's measurement.
    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(10);
    rows->setVerticalSpacing(2);
    cursor_hz_ = new QLabel(this);
    const QStringList headers = {QString(),
                                 Tr("Shown"),
                                 Tr("In sum"),
                                 Tr("Level dB"),
                                 Tr("Phase deg"),
                                 Tr("Delay ms"),
                                 Tr("Driver measurement")};
    for (int c = 0; c < headers.size(); ++c) {
        auto* h = new QLabel(headers[c], this);
        h->setEnabled(false);  // the header in the greyed text colour
        rows->addWidget(h, 0, c, c >= 3 && c <= 5 ? Qt::AlignRight : Qt::AlignLeft);
    }
    rows->addWidget(cursor_hz_, 0, 0);
    const qreal dpr = devicePixelRatioF();
    for (int row = 0; row <= kSumRow; ++row) {
        const bool sum = row == kSumRow;
        auto* swatch = new QLabel(this);
        swatch->setPixmap(Swatch(sum ? SumColour() : OutputColour(row), dpr));
        rows->addWidget(swatch, row + 1, 0, Qt::AlignRight);
        if (sum) {
            rows->addWidget(new QLabel(Tr("Sum"), this), row + 1, 1, 1, 2);
        } else {
            show_[row] = new QCheckBox(this);
            show_[row]->setChecked(true);
            show_[row]->setToolTip(Tr("Draw this output's curves"));
            connect(show_[row], &QCheckBox::toggled, this, [this] { recompute(true); });
            rows->addWidget(show_[row], row + 1, 1);
            in_sum_[row] = new QCheckBox(this);
            in_sum_[row]->setToolTip(Tr("Add this output into the sum"));
            connect(in_sum_[row], &QCheckBox::toggled, this, &ResponseWindow::sumBoxToggled);
            rows->addWidget(in_sum_[row], row + 1, 2);
        }
        for (int q = 0; q < 3; ++q) {
            readouts_[row][q] = new QLabel(QStringLiteral("-"), this);
            readouts_[row][q]->setMinimumWidth(
                readouts_[row][q]->fontMetrics().horizontalAdvance(QStringLiteral("-000.000")));
            rows->addWidget(readouts_[row][q], row + 1, 3 + q, Qt::AlignRight);
        }
        if (sum) continue;
        auto* driver = new QHBoxLayout;
        load_[row] = new QPushButton(Tr("Load measurement..."), this);
        load_[row]->setToolTip(Tr("A measured response of the driver on this output (frequency, dB, degrees)"));
        connect(load_[row], &QPushButton::clicked, this, [this, row] { chooseMeasurement(row); });
        clear_[row] = new QToolButton(this);
        clear_[row]->setText(QStringLiteral("\u00d7"));
        clear_[row]->setToolTip(Tr("Forget the measurement: the electrical response again"));
        connect(clear_[row], &QToolButton::clicked, this, [this, row] { clearMeasurement(row); });
        driver_[row] = new QLabel(this);
        driver->addWidget(load_[row]);
        driver->addWidget(clear_[row]);
        driver->addWidget(driver_[row], 1);
        rows->addLayout(driver, row + 1, 6);
    }
    rows->setColumnStretch(6, 1);

    note_ = new QLabel(Tr("Nominal shapes of the filter types, not a measurement of the unit. Bessel crossovers are "
                          "3 dB down at their set frequency. Every input carries the same signal; In SUM A+B is In A "
                          "and In B added. With a driver's measurement an output shows the predicted acoustic "
                          "response (measurement times the electrical transfer)."),
                       this);
    note_->setWordWrap(true);
    note_->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(plot_, 1);
    layout->addLayout(rows);
    layout->addWidget(note_);

    // Enter in the window presses nothing: no button is a default one.
    for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(false);

    connect(watch_, &ModelWatch::changed, this, [this] { recompute(false); });
    connect(program_choice_, &QComboBox::activated, this, [this](int index) {
        if (index == 0) return showPcProgram();
        // The file again, as it is on disk now.
        QString why;
        if (!showProgramFile(file_path_, &why)) {
            showPcProgram();
            ShowMessage(this, QMessageBox::Warning, Tr("System response"), Tr("The file is not shown.\n%1").arg(why));
        }
    });
    connect(open_file, &QPushButton::clicked, this, &ResponseWindow::chooseProgramFile);
    connect(sum_choice_, &QComboBox::activated, this, [this](int index) { applySumChoice(index, true); });
    connect(unwrapped_, &QCheckBox::toggled, this, [this](bool on) {
        plot_->setUnwrappedPhase(on);
        updateReadout();
    });
    connect(plot_, &ResponsePlot::cursorMoved, this, &ResponseWindow::updateReadout);
    connect(export_picture, &QPushButton::clicked, this, &ResponseWindow::exportPictureAs);
    connect(export_csv, &QPushButton::clicked, this, &ResponseWindow::exportCsvAs);

    refreshSumChoices();
    applySumChoice(0, false);
    recompute(true);
    plot_->setCursorIndex(static_cast<int>(std::lower_bound(hz_.begin(), hz_.end(), 1000.0) - hz_.begin()));
    FitToScreen(this, QSize(1000, 820));
}

ResponseWindow::~ResponseWindow() = default;

const CDSDATA& ResponseWindow::program() const { return file_program_ ? *file_program_ : doc_.Model(); }

std::vector<int> ResponseWindow::sumOutputs() const {
    std::vector<int> outputs;
    for (int n = 0; n < KV_OUTPUTS; ++n)
        if (in_sum_[n]->isChecked()) outputs.push_back(n);
    return outputs;
}

void ResponseWindow::showEvent(QShowEvent* event) {
    watch_->setLooking(true);
    recompute(false);
    QDialog::showEvent(event);
}

void ResponseWindow::hideEvent(QHideEvent* event) {
    watch_->setLooking(false);
    QDialog::hideEvent(event);
}

void ResponseWindow::recompute(bool always) {
    const CDSDATA& m = program();
    refreshLabels();
    if (!always && computed_from_ && kvresponse::SameSignalPath(m, *computed_from_)) return;
    QElapsedTimer clock;
    clock.start();
    // The program's sources may have changed (a new configuration): the sum
    // that follows an input takes its outputs anew.
    if (refreshSumChoices() && sum_group_) applySumChoice(*sum_group_, false);

    kvresponse::ResponseRequest request{hz_, {sumOutputs()}, {}};
    for (int n = 0; n < KV_OUTPUTS; ++n) request.measured[n] = drivers_.OnGrid(n);
    curves_ = kvresponse::CurvesOf(kvresponse::ComputeSystemResponse(m, request));
    if (computed_from_)
        *computed_from_ = m;
    else
        computed_from_ = std::make_unique<CDSDATA>(m);
    ++computes_;

    std::vector<PlotCurve> shown;
    for (int n = 0; n < KV_OUTPUTS; ++n)
        if (show_[n]->isChecked()) shown.push_back({OutputTitle(m, n), OutputColour(n), false, curves_.outputs[n]});
    if (!request.sums[0].empty()) shown.push_back({Tr("Sum"), SumColour(), true, curves_.sums[0]});
    plot_->setCurves(hz_, std::move(shown));
    updateReadout();
    // The picture will take about as long as the last one did.
    watch_->setWorkMs(static_cast<double>(clock.nsecsElapsed()) / 1e6 + plot_->lastPaintMs());
}

void ResponseWindow::refreshLabels() {
    for (int n = 0; n < KV_OUTPUTS; ++n) show_[n]->setText(OutputTitle(program(), n));
}

bool ResponseWindow::refreshSumChoices() {
    auto groups = kvresponse::SourceGroups(program());
    if (groups == groups_ && sum_choice_->count() > 0) return false;
    QStringList titles;
    for (const auto& g : groups) titles.append(GroupTitle(program(), g));
    titles.append(Tr("Outputs ticked below"));
    groups_ = std::move(groups);
    sum_choice_->clear();
    sum_choice_->addItems(titles);
    if (sum_group_ && *sum_group_ >= static_cast<int>(groups_.size())) sum_group_ = 0;
    sum_choice_->setCurrentIndex(sum_group_ ? *sum_group_ : static_cast<int>(groups_.size()));
    return true;
}

void ResponseWindow::applySumChoice(int index, bool compute) {
    if (index < 0 || index >= static_cast<int>(groups_.size())) {
        sum_group_.reset();
        sum_choice_->setCurrentIndex(static_cast<int>(groups_.size()));
        return;
    }
    sum_group_ = index;
    sum_choice_->setCurrentIndex(index);
    // The group's outputs are summed and shown, the others hidden.
    const auto& outputs = groups_[index];
    bool changed = false;
    for (int n = 0; n < KV_OUTPUTS; ++n) {
        const bool in = std::find(outputs.begin(), outputs.end(), n) != outputs.end();
        for (QCheckBox* box : {in_sum_[n], show_[n]}) {
            if (box->isChecked() == in) continue;
            const QSignalBlocker quiet(box);
            box->setChecked(in);
            changed = true;
        }
    }
    if (changed && compute) recompute(true);
}

void ResponseWindow::sumBoxToggled() {
    // Ticked by hand: the sum no longer follows an input.
    sum_group_.reset();
    sum_choice_->setCurrentIndex(static_cast<int>(groups_.size()));
    recompute(true);
}

void ResponseWindow::updateReadout() {
    const int i = plot_->cursorIndex();
    const bool at = i >= 0 && i < static_cast<int>(hz_.size());
    cursor_hz_->setText(at ? (hz_[i] >= 1000 ? QStringLiteral("%1 kHz").arg(hz_[i] / 1000, 0, 'f', 3)
                                             : QStringLiteral("%1 Hz").arg(hz_[i], 0, 'f', 1))
                           : QString());
    const bool has_sum = !sumOutputs().empty();
    for (int row = 0; row <= kSumRow; ++row) {
        const bool sum = row == kSumRow;
        const kvresponse::Curve* c =
            sum ? (has_sum && !curves_.sums.empty() ? &curves_.sums[0] : nullptr) : &curves_.outputs[row];
        const bool known = at && c && (sum || show_[row]->isChecked());
        const double values[3] = {known ? c->db[i] : NAN,
                                  known ? (plot_->unwrappedPhase() ? c->deg_unwrapped[i] : c->deg[i]) : NAN,
                                  known ? c->gd_ms[i] : NAN};
        const int decimals[3] = {2, 1, 3};
        for (int q = 0; q < 3; ++q) readouts_[row][q]->setText(Cell(values[q], decimals[q]));
    }
}

QStringList ResponseWindow::readout(int row) const {
    return {readouts_[row][0]->text(), readouts_[row][1]->text(), readouts_[row][2]->text()};
}

QString ResponseWindow::driverText(int output) const { return driver_[output]->text(); }

bool ResponseWindow::showProgramFile(const QString& path, QString* why) {
    CDSDATA read(doc_.Model());  // a copy: nothing here constructs a model
    if (!ReadSource({ProgramSource::kFile, 1, path}, read, this, why)) return false;
    file_program_ = std::make_unique<CDSDATA>(read);
    file_path_ = path;
    while (program_choice_->count() > 1) program_choice_->removeItem(1);
    program_choice_->addItem(QFileInfo(path).fileName());
    program_choice_->setCurrentIndex(1);
    sum_group_ = 0;
    refreshSumChoices();
    applySumChoice(0, false);
    recompute(true);
    return true;
}

void ResponseWindow::showPcProgram() {
    file_program_.reset();
    program_choice_->setCurrentIndex(0);
    sum_group_ = 0;
    refreshSumChoices();
    applySumChoice(0, false);
    recompute(true);
}

void ResponseWindow::chooseProgramFile() {
    const QString path =
        QFileDialog::getOpenFileName(this, Tr("Program file"), QFileInfo(file_path_).path(), Tr(kProgramFilter));
    if (path.isEmpty()) return;
    QString why;
    if (!showProgramFile(path, &why))
        ShowMessage(this, QMessageBox::Warning, Tr("System response"), Tr("The file is not shown.\n%1").arg(why));
}

bool ResponseWindow::loadMeasurement(int output, const QString& path) {
    QString why;
    if (!drivers_.Load(output, path, &why)) {
        ShowMessage(this, QMessageBox::Warning, Tr("Load measurement"),
                    Tr("The measurement is refused; nothing of it is taken.\n%1").arg(why));
        return false;
    }
    driver_[output]->setText(drivers_.Description(output));
    driver_[output]->setToolTip(path);
    recompute(true);
    return true;
}

void ResponseWindow::clearMeasurement(int output) {
    drivers_.Clear(output);
    driver_[output]->clear();
    driver_[output]->setToolTip(QString());
    recompute(true);
}

void ResponseWindow::chooseMeasurement(int output) {
    const QString path = QFileDialog::getOpenFileName(this, Tr("Measurement of the driver on Out %1").arg(output + 1),
                                                      QString(), Tr(kMeasurementFilter));
    if (!path.isEmpty()) loadMeasurement(output, path);
}

bool ResponseWindow::exportPicture(const QString& path, double scale, QString* why) const {
    const QSize size = plot_->size().expandedTo(plot_->sizeHint());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(Tr("System response"));
        svg.setDescription(note_->text());
        QPainter painter(&svg);
        plot_->render(painter, QRectF(QPointF(0, 0), size));
    } else {
        QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        QPainter painter(&image);
        plot_->render(painter, QRectF(QPointF(0, 0), size));
        painter.end();
        if (!image.save(&buffer, "PNG")) {
            if (why) *why = Tr("The picture could not be made.");
            return false;
        }
    }
    SafeFileWriter writer;
    return writer.Open(path, why) && writer.Commit(bytes, why);
}

bool ResponseWindow::exportCsv(const QString& path, QString* why) const {
    std::vector<std::string> keys;
    std::vector<kvresponse::TableColumn> columns;
    for (const PlotCurve& c : plot_->curves()) {
        const QString name = c.emphasised ? QStringLiteral("sum") : c.name.section(QLatin1Char(' '), 0, 1);
        columns.push_back({name.toLower().remove(QLatin1Char(' ')).toStdString(), &c.curve});
    }
    const std::string text = kvresponse::ResponseCsv(plot_->frequencies(), columns);
    SafeFileWriter writer;
    return writer.Open(path, why) && writer.Commit(QByteArray::fromStdString(text), why);
}

void ResponseWindow::exportPictureAs() {
    QString filter;
    QString path = QFileDialog::getSaveFileName(this, Tr("Export picture"), QStringLiteral("response.png"),
                                                Tr(kPictureFilter), &filter);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += filter.contains(QStringLiteral("svg")) ? ".svg" : ".png";
    QString why;
    if (!exportPicture(path, kExportScale, &why))
        ShowMessage(this, QMessageBox::Warning, Tr("Export picture"), Tr("The picture was not saved.\n%1").arg(why));
}

void ResponseWindow::exportCsvAs() {
    QString path = QFileDialog::getSaveFileName(this, Tr("Export CSV"), QStringLiteral("response.csv"), Tr(kCsvFilter));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
    QString why;
    if (!exportCsv(path, &why))
        ShowMessage(this, QMessageBox::Warning, Tr("Export CSV"), Tr("The table was not saved.\n%1").arg(why));
}

ResponseWindow* OpenResponseWindow(CMy758Doc& doc, QWidget* parent) {
    auto* window = parent ? parent->findChild<ResponseWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!window) {
        window = new ResponseWindow(doc, parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace response
