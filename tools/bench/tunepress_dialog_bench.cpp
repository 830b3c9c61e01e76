// tunepress-dialog-bench: how the Tunepress dialog keeps up with a run of many short files.
// Drives the real dialog on the offscreen platform through 2,000 one-second files (copies
// of one, see mpeg_source.h) and prints the run's wall time, the CPU time of the GUI thread
// and of the workers, and the longest an event posted to the GUI thread waited during the
// run. A second run is stopped with a click posted once the overall bar shows a quarter of
// the files converted; the time from posting it to the dialog being idle is how long Stop
// took to answer.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <thread>

#include "dialog.h"
#include "mpeg_source.h"

namespace {

constexpr int Files = 2000;
constexpr int Seconds = 1;

double cpuSeconds(clockid_t clock) {
    timespec time{};
    clock_gettime(clock, &time);
    return double(time.tv_sec) + double(time.tv_nsec) / 1e9;
}

using Clock = std::chrono::steady_clock;

// Posts an event to the GUI thread every 10 ms from a thread of its own, as input would
// come; each runs `arrived` on the GUI thread with how long it waited, in milliseconds.
// Events still on their way when it goes are dropped with `m_target`.
class Poster {
public:
    explicit Poster(std::function<void(double waitedMs)> arrived)
        : m_thread([this, arrived] {
              while (!m_done) {
                  const Clock::time_point sent = Clock::now();
                  QMetaObject::invokeMethod(&m_target, [sent, arrived] {
                      arrived(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                  }, Qt::QueuedConnection);
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              }
          }) {}
    ~Poster() {
        m_done = true;
        m_thread.join();
    }
    Poster(const Poster&) = delete;
    Poster& operator=(const Poster&) = delete;

private:
    QObject m_target;
    std::atomic_bool m_done{false};
    std::thread m_thread;
};

struct Figures {
    double wallSeconds = 0;
    double guiCpu = 0;
    double workersCpu = 0;
    double worstWaitMs = 0;
    double stopMs = -1;  // from posting the click on Stop to an idle dialog
};

// Runs the files listed into `folder`, clicking Stop once the overall bar shows
// `stopAtPercent` (never when negative), and measures the run on the way.
Figures run(MainDialog& dialog, const QString& folder, int stopAtPercent) {
    auto* decode = dialog.findChild<QPushButton*>("decode");
    auto* overall = dialog.findChild<QProgressBar*>("overall");
    dialog.findChild<QLineEdit*>("folder")->setText(folder);
    Figures figures;
    QEventLoop loop;
    QElapsedTimer wall;
    const double gui = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double all = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    wall.start();
    decode->click();
    {
        const Poster poster([&](double waitedMs) {
            figures.worstWaitMs = std::max(figures.worstWaitMs, waitedMs);
            if (stopAtPercent >= 0 && figures.stopMs < 0 && overall->value() >= stopAtPercent) {
                QElapsedTimer click;
                click.start();
                decode->click();
                figures.stopMs = waitedMs + double(click.nsecsElapsed()) / 1e6;
            }
            if (decode->text() == "&Decode") loop.quit();
        });
        loop.exec();
    }
    figures.wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    figures.guiCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - gui;
    figures.workersCpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - all - figures.guiCpu;
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir temp;
    if (!temp.isValid()) {
        std::fprintf(stderr, "tunepress-dialog-bench: no temporary folder\n");
        return 1;
    }
    // The dialog's settings stay in the benchmark's folder.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, temp.filePath("settings"));
    bool encoded = false;
    const QString source = makeMpegSource(temp.path(), Seconds, encoded);
    if (source.isEmpty()) {
        std::fprintf(stderr, "tunepress-dialog-bench: cannot make the MPEG files\n");
        return 1;
    }
    QDir(temp.path()).mkdir("in");
    QStringList inputs;
    for (int i = 0; i < Files; ++i) {
        inputs << temp.filePath(QString("in/%1.%2").arg(i, 4, 10, QChar('0')).arg(QFileInfo(source).suffix()));
        if (!QFile::copy(source, inputs.last())) {
            std::fprintf(stderr, "tunepress-dialog-bench: cannot copy %s\n", qUtf8Printable(source));
            return 1;
        }
    }
    MainDialog dialog;
    dialog.show();
    dialog.addFiles(inputs);
    const Figures whole = run(dialog, temp.filePath("whole"), -1);
    const QString summary = dialog.findChild<QLabel*>("status")->text();
    if (summary != QString("%1 converted").arg(Files)) {
        std::fprintf(stderr, "tunepress-dialog-bench: the run ended with \"%s\"\n", qUtf8Printable(summary));
        return 1;
    }
    const Figures stopped = run(dialog, temp.filePath("stopped"), 25);
    std::printf("%d files of %d s%s: run %.1f s, GUI thread %.2f s CPU, workers %.1f s CPU (%.1f %%), "
                "longest wait of a posted event %.0f ms; Stop answered in %.0f ms (longest wait %.0f ms)\n",
                Files, Seconds, encoded ? "" : " (silent layer II, lame missing)", whole.wallSeconds, whole.guiCpu,
                whole.workersCpu, 100 * whole.guiCpu / whole.workersCpu, whole.worstWaitMs, stopped.stopMs,
                stopped.worstWaitMs);
    return 0;
}
