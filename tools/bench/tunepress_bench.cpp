// tunepress-bench: how much faster Tunepress converts a folder with one job per core than
// with one job at a time. Makes sixteen five-minute MP3 files (see mpeg_source.h), converts
// them all once with one worker and once with one per core, and prints the wall times and
// their ratio. Each pass starts with the disk written back, so that no pass pays for the
// one before it, and the best of three counts, as other work on the machine only slows a
// pass.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

#include "mpeg_source.h"
#include "worker.h"

namespace {

constexpr int Files = 16;
constexpr int Seconds = 300;

// Converts every job with `workers` at once; the wall time in seconds, or -1 when a file
// did not convert.
double convertAll(const QList<ConversionJob>& jobs, int workers) {
    for (const ConversionJob& job : jobs) QFile::remove(job.output);
    ::sync();
    Converter converter;
    converter.setWorkers(workers);
    QEventLoop loop;
    bool allConverted = true;
    QObject::connect(&converter, &Converter::fileFinished, [&](int, FileOutcome outcome, const QString& detail) {
        if (outcome == FileOutcome::Converted) return;
        allConverted = false;
        std::fprintf(stderr, "tunepress-bench: %s\n", qUtf8Printable(detail));
    });
    QObject::connect(&converter, &Converter::finished, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    converter.start(jobs);
    loop.exec();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    return allConverted ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    if (!temp.isValid()) {
        std::fprintf(stderr, "tunepress-bench: no temporary folder\n");
        return 1;
    }
    bool encoded = false;
    const QString source = makeMpegSource(temp.path(), Seconds, encoded);
    if (source.isEmpty()) {
        std::fprintf(stderr, "tunepress-bench: cannot make the MPEG files\n");
        return 1;
    }
    QDir(temp.path()).mkdir("out");
    QList<ConversionJob> jobs;
    for (int i = 0; i < Files; ++i) {
        const QString input = temp.filePath(QString("in/%1.mp3").arg(i, 2, 10, QChar('0')));
        if (i == 0) QDir(temp.path()).mkdir("in");
        if (!QFile::copy(source, input)) {
            std::fprintf(stderr, "tunepress-bench: cannot copy %s\n", qUtf8Printable(source));
            return 1;
        }
        jobs.append({i, input, temp.filePath(QString("out/%1.wav").arg(i, 2, 10, QChar('0')))});
    }
    const int cores = std::max(1, QThread::idealThreadCount());
    double one = 0;
    double all = 0;
    // Taken in turns, so that a slow spell of the machine falls on both.
    for (int pass = 0; pass < 3; ++pass) {
        const double alone = convertAll(jobs, 1);
        const double together = convertAll(jobs, cores);
        if (alone < 0 || together < 0) return 1;
        one = pass == 0 ? alone : std::min(one, alone);
        all = pass == 0 ? together : std::min(all, together);
    }
    std::printf("%d files of %d:%02d%s: 1 worker %.1f s, %d workers %.1f s, %.2fx\n", Files, Seconds / 60,
                Seconds % 60, encoded ? "" : " (silent layer II, lame missing)", one, cores, all, one / all);
    return 0;
}
