// tunepress-bench: how much faster Tunepress converts a folder with one job per core than
// with one job at a time. Makes sixteen five-minute MP3 files (128 kbit/s, encoded by lame
// from a signal of its own making; without lame, silent layer II frames, which decode with
// less work), converts them all once with one worker and once with one per core, and
// prints the wall times and their ratio. Each pass starts with the disk written back, so
// that no pass pays for the one before it, and the best of three counts, as other work on
// the machine only slows a pass.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <random>

#include <unistd.h>

#include "worker.h"

namespace {

constexpr int Files = 16;
constexpr int Seconds = 300;
constexpr int Rate = 44100;

// Music-like material for the encoder: two chords that wander, a beat and a little noise,
// so that every frame takes real work to decode.
QByteArray signalWav() {
    const qsizetype samples = qsizetype(Seconds) * Rate;
    QByteArray wav(44 + samples * 4, Qt::Uninitialized);
    char* at = wav.data();
    std::memcpy(at, "RIFF", 4);
    qToLittleEndian<quint32>(quint32(wav.size() - 8), at + 4);
    std::memcpy(at + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, at + 16);
    qToLittleEndian<quint16>(1, at + 20);
    qToLittleEndian<quint16>(2, at + 22);
    qToLittleEndian<quint32>(Rate, at + 24);
    qToLittleEndian<quint32>(Rate * 4, at + 28);
    qToLittleEndian<quint16>(4, at + 32);
    qToLittleEndian<quint16>(16, at + 34);
    std::memcpy(at + 36, "data", 4);
    qToLittleEndian<quint32>(quint32(samples * 4), at + 40);
    std::minstd_rand noise(1);
    std::uniform_real_distribution<double> spread(-1.0, 1.0);
    constexpr double Tau = 2 * std::numbers::pi;
    double phases[4] = {};
    for (qsizetype i = 0; i < samples; ++i) {
        const double t = double(i) / Rate;
        const double drift = 1 + 0.5 * std::sin(Tau * t / 37);
        const double pitches[4] = {220 * drift, 277.2 * drift, 330 * drift, 440 / drift};
        for (int p = 0; p < 4; ++p) phases[p] = std::fmod(phases[p] + Tau * pitches[p] / Rate, Tau);
        const double beat = std::exp(-8 * std::fmod(t, 0.5));
        const double left = 0.2 * (std::sin(phases[0]) + std::sin(phases[1])) + 0.15 * beat * spread(noise);
        const double right = 0.2 * (std::sin(phases[2]) + std::sin(phases[3])) + 0.15 * beat * spread(noise);
        qToLittleEndian<qint16>(qint16(12000 * left), at + 44 + i * 4);
        qToLittleEndian<qint16>(qint16(12000 * right), at + 46 + i * 4);
    }
    return wav;
}

// MPEG-1 layer II, 128 kbit/s, 48000 Hz, stereo: a header and zero bytes, 384 to a frame.
QByteArray silentFrames() {
    QByteArray frame(384, 0);
    frame[0] = char(0xFF);
    frame[1] = char(0xFD);
    frame[2] = char(0x84);
    return frame.repeated(Seconds * 48000 / 1152);
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The MP3 file every input is a copy of; empty when it cannot be made.
QString makeSource(const QString& folder, bool& encoded) {
    const QString lame = QStandardPaths::findExecutable("lame");
    encoded = !lame.isEmpty();
    if (!encoded) {
        const QString source = folder + "/source.mp2";
        return writeFile(source, silentFrames()) ? source : QString();
    }
    const QString wav = folder + "/signal.wav";
    const QString source = folder + "/source.mp3";
    if (!writeFile(wav, signalWav())) return {};
    const int status = QProcess::execute(lame, {"--quiet", "-b", "128", wav, source});
    QFile::remove(wav);
    return status == 0 ? source : QString();
}

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
    const QString source = makeSource(temp.path(), encoded);
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
