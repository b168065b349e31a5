// View > System response: how the outputs of the program add up in the
// air. Level, phase and group delay of every output from its input, and of
// the sum of the outputs chosen (by default those one input feeds), from
// the nominal shapes of the filter types; measured drivers loaded per output
// turn the electrical curves into predicted acoustic ones. Follows every
// change of the PC's program within a frame, or shows a program file.
// Non-modal; it never talks to the unit.
#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include <kvcom/kvcom.h>

#include "kvresponse/system_response.h"
#include "response/driver_files.h"

class CMy758Doc;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace response {

class ModelWatch;
class ResponsePlot;

class ResponseWindow : public QDialog {
    Q_OBJECT

public:
    static constexpr int kPoints = 1000;
    static constexpr int kSumRow = KV_OUTPUTS;  // the readout row of the sum

    explicit ResponseWindow(CMy758Doc& doc, QWidget* parent = nullptr);
    ~ResponseWindow() override;

    ResponsePlot* plot() const { return plot_; }
    QCheckBox* showBox(int output) const { return show_[output]; }
    QCheckBox* sumBox(int output) const { return in_sum_[output]; }
    QComboBox* sumChoice() const { return sum_choice_; }
    // The outputs (0..5) in the sum.
    std::vector<int> sumOutputs() const;
    // What was last computed, on frequencies().
    const kvresponse::SystemCurves& curves() const { return curves_; }
    const std::vector<double>& frequencies() const { return hz_; }
    // How many times it computed (a look without a change does not).
    int computeCount() const { return computes_; }
    // The cursor's row of readouts (output 0..5, or kSumRow): level,
    // phase, delay as shown.
    QStringList readout(int row) const;
    QString driverText(int output) const;

    // The program shown: the PC's, or a program file (".syx" or JSON) read
    // without changing the PC's. False, with the reason, when refused.
    bool showProgramFile(const QString& path, QString* why);
    void showPcProgram();
    bool showsPcProgram() const { return !file_program_; }

    // A driver's measurement for output; a refused file is reported in a
    // message box (with its line and the reason) and taken not at all.
    bool loadMeasurement(int output, const QString& path);
    void clearMeasurement(int output);

    // The picture (".png" at `scale` pixels per point, or ".svg") and the
    // table of the curves shown, written whole or not at all.
    bool exportPicture(const QString& path, double scale, QString* why) const;
    bool exportCsv(const QString& path, QString* why) const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    const CDSDATA& program() const;
    // Computes again when the program's signal paths changed, or always
    // (another sum, another driver).
    void recompute(bool always);
    void refreshLabels();
    // The inputs' groups of outputs anew; true when they changed.
    bool refreshSumChoices();
    // The sum follows input group `index` (or the boxes ticked by hand).
    void applySumChoice(int index, bool compute);
    void sumBoxToggled();
    void updateReadout();
    void chooseProgramFile();
    void chooseMeasurement(int output);
    void exportPictureAs();
    void exportCsvAs();

    CMy758Doc& doc_;
    ModelWatch* watch_;
    std::vector<double> hz_;
    DriverFiles drivers_;
    std::unique_ptr<CDSDATA> file_program_;
    QString file_path_;
    std::unique_ptr<CDSDATA> computed_from_;
    kvresponse::SystemCurves curves_;
    int computes_ = 0;
    // The input group the sum follows (its outputs change with the
    // program's sources), or nullopt for outputs chosen by hand.
    std::optional<int> sum_group_ = 0;
    std::vector<std::vector<int>> groups_;

    ResponsePlot* plot_;
    QComboBox* program_choice_;
    QComboBox* sum_choice_;
    QCheckBox* unwrapped_;
    QLabel* cursor_hz_;
    QLabel* note_;
    std::array<QCheckBox*, KV_OUTPUTS> show_{};
    std::array<QCheckBox*, KV_OUTPUTS> in_sum_{};
    std::array<std::array<QLabel*, 3>, KV_OUTPUTS + 1> readouts_{};
    std::array<QPushButton*, KV_OUTPUTS> load_{};
    std::array<QToolButton*, KV_OUTPUTS> clear_{};
    std::array<QLabel*, KV_OUTPUTS> driver_{};
};

// Opens the one System response window of parent (or raises it).
ResponseWindow* OpenResponseWindow(CMy758Doc& doc, QWidget* parent);

}  // namespace response
