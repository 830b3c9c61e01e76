#include "support.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <cmath>

const SilentStream LayerTwoStereo{1, 2, 4, 1, false, 192, 1152, 48000};
const SilentStream LayerTwoMono{1, 2, 1, 1, true, 96, 1152, 48000};
const SilentStream LayerOneStereo{1, 1, 1, 0, false, 32, 384, 44100};
const SilentStream LayerThreeMono{2, 3, 4, 0, true, 104, 576, 22050};

QByteArray SilentStream::frames(int count) const {
    const quint32 versionBits = version == 1 ? 3 : 2;
    const quint32 layerBits = 4 - layer;
    const quint32 modeBits = mono ? 3 : 0;
    // Sync, version, layer, no CRC, bit rate, frequency and mode; the rest stays zero.
    const quint32 header = 0xFFE00000u | versionBits << 19 | layerBits << 17 | 1u << 16 | quint32(bitrateIndex) << 12 |
                           quint32(frequencyIndex) << 10 | modeBits << 6;
    QByteArray frame(frameBytes, '\0');
    qToBigEndian(header, frame.data());
    return frame.repeated(count);
}

Wav readWav(const QString& path) {
    Wav wav;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return wav;
    const QByteArray bytes = file.readAll();
    wav.fileBytes = bytes.size();
    if (bytes.size() < 44) return wav;
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    wav.channels = u16(22);
    wav.frequency = int(u32(24));
    const quint32 dataBytes = u32(40);
    wav.header = bytes.startsWith("RIFF") && u32(4) == dataBytes + 36 && bytes.mid(8, 8) == "WAVEfmt " &&
                 u32(16) == 16 && u16(20) == 1 && (wav.channels == 1 || wav.channels == 2) &&
                 u32(28) == quint32(wav.channels * wav.frequency * 2) && u16(32) == wav.channels * 2 && u16(34) == 16 &&
                 bytes.mid(36, 4) == "data";
    wav.valid = wav.header && 44 + qint64(dataBytes) == bytes.size();
    wav.data = bytes.mid(44);
    return wav;
}

bool conformanceAvailable() { return QDir(QStringLiteral(CONFORMANCE_DIR)).exists(); }

ConformanceStream conformanceStream(const QString& name) {
    const QDir folder(QStringLiteral(CONFORMANCE_DIR));
    ConformanceStream stream;
    QFile manifest(folder.filePath(QStringLiteral("MANIFEST.tsv")));
    if (!manifest.open(QIODevice::ReadOnly | QIODevice::Text)) return stream;
    // name, layer, mpeg, rate_hz, modes, frames, decoded_samples, ...
    while (!manifest.atEnd()) {
        const QList<QByteArray> fields = manifest.readLine().trimmed().split('\t');
        if (fields.size() < 7 || QString::fromUtf8(fields[0]) != name) continue;
        stream.path = folder.filePath(name + QStringLiteral(".bit"));
        stream.reference = folder.filePath(name + QStringLiteral(".pcm"));
        stream.frequency = fields[3].toInt();
        stream.channels = fields[4] == "mono" ? 1 : 2;
        stream.decodedSamples = fields[6].toLongLong();
    }
    return stream;
}

double psnr(const QByteArray& pcm, const QString& referencePath) {
    QFile file(referencePath);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    const QByteArray reference = file.readAll();
    const qsizetype samples = std::min(pcm.size(), reference.size()) / 2;
    if (samples == 0) return 0;
    double squares = 0;
    for (qsizetype i = 0; i < samples; ++i) {
        const double difference = qFromLittleEndian<qint16>(pcm.constData() + 2 * i) -
                                  qFromLittleEndian<qint16>(reference.constData() + 2 * i);
        squares += difference * difference;
    }
    if (squares == 0) return INFINITY;
    return 10 * std::log10(32767.0 * 32767.0 * double(samples) / squares);
}

QString ConverterTest::write(const QString& name, const QByteArray& bytes) const {
    const QString target = path(name);
    QFile file(target);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(target);
    file.write(bytes);
    return target;
}

QByteArray ConverterTest::read(const QString& path) const {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
