// Drives the real windows offscreen against the simulated unit on a
// pseudo-terminal (in-process, on its own threads, replies at line rate) and
// measures, per scenario:
//   stall   the longest gap of a 2 ms timer on the window's thread, from the
//           first action until the device queue is idle again;
//   final   the time from the last drag step (or the click) until the unit
//           holds the final value;
//   msgs    the messages the unit received during the scenario.
// Scenarios: 60-step output gain drags at 60 and 125 Hz, unlinked and
// linked; one In A EQ gain click and one output EQ gain click, linked; Add
// EQ, Upload, Refresh and Store All.
//
//   edit_latency_bench
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

#include <kvcom/kvcom.h>

#include "channel/dlg_output.h"
#include "device/device_line.h"
#include "document/my758_doc.h"
#include "editors/dlg_eq.h"
#include "kvproto/channels.h"
#include "memory/dlg_memory.h"
#include "pty_server.h"
#include "routing/my758_view.h"
#include "shell/main_frame.h"

namespace {

using Clock = std::chrono::steady_clock;
using Predicate = std::function<bool(const CDSDATA& unit)>;

double MsSince(Clock::time_point t0, Clock::time_point t1) {
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

// The longest gap between ticks of a 2 ms timer on the window's thread.
class StallProbe {
public:
    StallProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { max_gap_ = std::max(max_gap_, clock_.restart()); });
        timer_.start(2);
    }
    void Reset() {
        clock_.restart();
        max_gap_ = 0;
    }
    qint64 MaxGapMs() const { return std::max(max_gap_, clock_.elapsed()); }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 max_gap_ = 0;
};

// Watches the simulated unit from its own thread and notes when a
// condition on its working program first holds.
class UnitWatch {
public:
    explicit UnitWatch(kvsim::PtyServer& server) : server_(server) {}
    void Start(Predicate holds) {
        Stop();
        held_ = false;
        stop_ = false;
        thread_ = std::thread([this, holds] {
            while (!stop_) {
                bool now = false;
                server_.WithDevice([&](kvsim::Device& d) { now = holds(d.Working()); });
                if (now && !held_) {
                    at_ = Clock::now();
                    held_ = true;
                }
                if (!now) held_ = false;  // it must hold at the end, not pass by
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        });
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    bool Held() const { return held_; }
    Clock::time_point At() const { return at_; }
    ~UnitWatch() { Stop(); }

private:
    kvsim::PtyServer& server_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> held_{false};
    Clock::time_point at_;
};

struct Result {
    qint64 stall_ms;
    double final_ms;  // < 0: not measured
    int messages;
};

// Runs the window's event loop for ms.
void Pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until the device queue is idle and the unit holds the
// final value (or 10 s passed).
void Settle(UnitWatch* watch) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000 && (device::Line().Pending() != 0 || (watch && !watch->Held()))) Pump(1);
}

struct Bench {
    kvsim::PtyServer& server;
    std::atomic<int>& received;
    StallProbe probe;
    UnitWatch watch{server};

    // act() runs on the window's thread inside the event loop; it returns the
    // moment of its last step, from which the final value is timed.
    Result Measure(const std::function<Clock::time_point()>& act, Predicate final_value) {
        Settle(nullptr);
        Pump(50);
        if (final_value) watch.Start(final_value);
        const int before = received.load();
        probe.Reset();
        Clock::time_point last_step;
        QTimer::singleShot(0, [&] { last_step = act(); });
        Pump(1);
        Settle(final_value ? &watch : nullptr);
        const qint64 stall = probe.MaxGapMs();
        double final_ms = -1;
        if (final_value) {
            watch.Stop();
            final_ms = watch.Held() ? MsSince(last_step, watch.At()) : 1e9;
        }
        return {stall, final_ms, received.load() - before};
    }
};

// A drag of a gain track bar through 60 steps, from one gain to another, at hz.
Clock::time_point Drag(QSlider* slider, int from, int to, int hz) {
    QEventLoop loop;
    QTimer step;
    step.setTimerType(Qt::PreciseTimer);
    int n = 0;
    Clock::time_point last;
    QObject::connect(&step, &QTimer::timeout, [&] {
        ++n;
        last = Clock::now();
        slider->setValue(-(from + (to > from ? n : -n)));  // the thumb runs top to bottom
        if (n == 60) loop.quit();
    });
    step.start(1000 / hz);
    loop.exec();
    return last;
}

void Print(const char* name, const Result& r) {
    char final_text[32] = "-";
    if (r.final_ms >= 0) std::snprintf(final_text, sizeof final_text, "%.0f", r.final_ms);
    std::printf("%-34s %8lld %9s %6d\n", name, static_cast<long long>(r.stall_ms), final_text, r.messages);
    std::fflush(stdout);
}

int DeviceEqGain(const CDSDATA& unit, int chan, int slot) {
    const int row = kvcom::EqSlotList(unit, chan)[slot];
    return row < 0 ? -1 : unit.eq_gain[row];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);  // never the user's settings
    QApplication app(argc, argv);

    kvsim::Device unit;
    kvsim::PtyServer server(unit);
    const std::string pty = server.Start();
    if (pty.empty()) {
        std::fprintf(stderr, "cannot open a pseudo-terminal\n");
        return 1;
    }
    std::atomic<int> received{0};
    server.WithDevice([&](kvsim::Device& d) {
        d.SetObserver([&](const kvsim::Bytes&, const std::string& note) {
            if (note.empty()) ++received;
        });
    });
    setenv("KVCOM_COM1", pty.c_str(), 1);
    rs232_port = 1;
    CreateTTYInfo();
    if (OpenConnection() == 0) {
        std::fprintf(stderr, "cannot open %s\n", pty.c_str());
        return 1;
    }

    CMy758Doc doc;
    CMainFrame frame(&doc);
    frame.show();
    CDSDATA& model = doc.Model();
    Bench bench{server, received, {}};

    // Every modal message box is answered, so nothing waits for a click.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
    });
    answer.start(50);

    std::printf("%-34s %8s %9s %6s\n", "scenario", "stall ms", "final ms", "msgs");
    auto configure = [&](int link) {
        model.figuration = 1;  // 2 Channel 3 Way: Out 1 with Out 2, In A with In B
        model.InitData();
        model.link_on = link;
        device::SendParam(model, PC_FIGURATION);
        device::SendParam(model, PC_LINK);
        Settle(nullptr);
    };

    for (const int link : {0, 1}) {
        configure(link);
        CDlgOutput page(model, 0);
        page.Activate();
        page.show();
        auto* slider = page.findChild<QSlider*>(QStringLiteral("gainSlider"));
        for (const int hz : {60, 125}) {
            const int from = model.out_gain[0] > 0 ? 60 : 0;
            const int to = from > 0 ? 0 : 60;
            char name[64];
            std::snprintf(name, sizeof name, "gain drag 60 steps %d Hz %s", hz, link ? "linked" : "unlinked");
            Print(name, bench.Measure([&] { return Drag(slider, from, to, hz); },
                                      [to, link](const CDSDATA& u) {
                                          return u.out_gain[0] == to && (!link || u.out_gain[1] == to);
                                      }));
        }
    }

    // Linked from here on.
    for (const int chan : {CHAN_IN_A, 0}) {
        model.cur_chan = chan;
        model.cur_slot = 0;
        model.cur_eq = -1;
        CDlgEQ eq(model, chan == CHAN_IN_A);
        eq.show();
        const char* add_name = chan == CHAN_IN_A ? "Add EQ In A linked" : "Add EQ Out 1 linked";
        Print(add_name, bench.Measure(
                            [&] {
                                eq.findChild<QPushButton*>(QStringLiteral("addButton"))->click();
                                return Clock::now();
                            },
                            {}));
        const int want = model.eq_gain[model.cur_eq] + 1 == 30 ? 31 : model.eq_gain[model.cur_eq] + 1;
        const char* click_name = chan == CHAN_IN_A ? "In A EQ gain click linked" : "Out 1 EQ gain click linked";
        Print(click_name, bench.Measure(
                              [&] {
                                  const auto t = Clock::now();
                                  eq.findChild<QToolButton*>(QStringLiteral("gainUp"))->click();
                                  return t;
                              },
                              [chan, want](const CDSDATA& u) { return DeviceEqGain(u, chan, 0) == want; }));
    }

    Print("Upload", bench.Measure(
                        [&] {
                            frame.view()->onUpload();
                            return Clock::now();
                        },
                        {}));
    CDlgMemory memory(model);
    Print("Refresh", bench.Measure(
                         [&] {
                             memory.refresh();
                             return Clock::now();
                         },
                         {}));
    Print("Store All", bench.Measure(
                           [&] {
                               memory.storeAll();
                               return Clock::now();
                           },
                           {}));
    frame.close();
    CloseConnection();
    server.Stop();
    return 0;
}
