// The System response window from an edit to the repainted plot, offscreen:
// an output gain edit queued as the pages queue it, then the time until
// the plot has painted the new curves. Single edits (40 ms apart), and a
// drag of edits every 8 ms, where the window computes at most once a frame.
// The last column is the plot's own painting. Both programs of response_programs.h; the plot as
// a 1100 x 860 window draws it, at the scale given (default 1).
// The target is 16 ms.
//
//   response_window_bench [SCALE] [EDITS]
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <kvcom/kvcom.h>

#include "device/device_line.h"
#include "document/my758_doc.h"
#include "response/response_plot.h"
#include "response/response_window.h"
#include "response_programs.h"

namespace {

struct Figures {
    double median, worst, paint;
};

double Median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Edits Out 3's gain every `gap_ms` and measures each edit until the plot
// has painted after it.
Figures Measure(CDSDATA& m, response::ResponseWindow& window, int edits, int gap_ms) {
    std::vector<double> ms, paint;
    QElapsedTimer clock;
    for (int e = 0; e < edits; ++e) {
        const int paints = window.plot()->paintCount();
        clock.start();
        m.cur_chan = 2;
        m.out_gain[2] = (e % 2 == 0) ? -10 : 10;
        device::SendParam(m, PC_OUT_GAIN);
        while (window.plot()->paintCount() == paints && clock.elapsed() < 1000)
            QApplication::processEvents(QEventLoop::AllEvents);
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        paint.push_back(window.plot()->lastPaintMs());
        // The next edit `gap_ms` after this one began.
        while (clock.elapsed() < gap_ms) {
            QApplication::processEvents(QEventLoop::AllEvents);
            QThread::usleep(200);
        }
    }
    return {Median(ms), *std::max_element(ms.begin(), ms.end()), Median(paint)};
}

}  // namespace

int main(int argc, char** argv) {
    const char* scale = argc > 1 ? argv[1] : "1";
    const int edits = argc > 2 ? std::max(10, std::atoi(argv[2])) : 200;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", scale);
    QApplication app(argc, argv);

    CMy758Doc doc;  // the model of the run
    CDSDATA& m = doc.Model();
    const QByteArray title = "program, scale " + QByteArray(scale);
    std::printf("%-34s %6s %12s %10s %10s %10s\n", title.constData(), "edits", "edit every", "median ms", "max ms",
                "paint ms");
    for (int program = 0; program < 2; ++program) {
        bench::OpenThreeWay(m);
        if (program == 1) bench::LoadEveryFilter(m);
        response::ResponseWindow window(doc);
        window.resize(1100, 860);
        window.show();
        for (int i = 0; i < 20; ++i) QApplication::processEvents();
        const char* name = program == 0 ? "2 Channel 3 Way, factory" : "every EQ filter, 48 dB crossovers";
        for (const int gap : {40, 8}) {
            const Figures f = Measure(m, window, edits, gap);
            std::printf("%-34s %6d %9d ms %10.2f %10.2f %10.2f\n", name, edits, gap, f.median, f.worst, f.paint);
        }
    }
    return 0;
}
