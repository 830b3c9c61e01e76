#include "mpeg_source.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

namespace {

constexpr int Rate = 44100;

// Music-like material for the encoder: two chords that wander, a beat and a little noise,
// so that every frame takes real work to decode.
QByteArray signalWav(int seconds) {
    const qsizetype samples = qsizetype(seconds) * Rate;
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
QByteArray silentFrames(int seconds) {
    QByteArray frame(384, 0);
    frame[0] = char(0xFF);
    frame[1] = char(0xFD);
    frame[2] = char(0x84);
    return frame.repeated(seconds * 48000 / 1152);
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

QString makeMpegSource(const QString& folder, int seconds, bool& encoded) {
    const QString lame = QStandardPaths::findExecutable("lame");
    encoded = !lame.isEmpty();
    if (!encoded) {
        const QString source = folder + "/source.mp2";
        return writeFile(source, silentFrames(seconds)) ? source : QString();
    }
    const QString wav = folder + "/signal.wav";
    const QString source = folder + "/source.mp3";
    if (!writeFile(wav, signalWav(seconds))) return {};
    const int status = QProcess::execute(lame, {"--quiet", "-b", "128", wav, source});
    QFile::remove(wav);
    return status == 0 ? source : QString();
}
