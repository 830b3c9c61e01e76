#include "support.h"

#include "conformance.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "worker.h"

const SilentStream LayerTwoStereo{{1, 2, 4, 1, false, 0}, 1152, 48000};
const SilentStream LayerTwoMono{{1, 2, 1, 1, false, 3}, 1152, 48000};
const SilentStream LayerOneStereo{{1, 1, 1, 0, false, 0}, 384, 44100};
const SilentStream LayerThreeMono{{0, 3, 4, 0, false, 3}, 576, 22050};

QByteArray SilentStream::frames(int count) const {
    const Bytes bytes = Frames(fields, count);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
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

QByteArray riffChunk(const QByteArray& file, const QByteArray& id) {
    for (qsizetype at = 12; at + 8 <= file.size();) {
        const qsizetype size = qFromLittleEndian<quint32>(file.constData() + at + 4);
        if (file.mid(at, 4) == id) return file.mid(at + 8, size);
        at += 8 + size + (size & 1);
    }
    return {};
}

QByteArray id3Tag(const QList<std::pair<QByteArray, QString>>& frames) {
    const auto syncsafe = [](qsizetype size) {
        QByteArray bytes(4, '\0');
        for (int i = 0; i < 4; ++i) bytes[i] = char(size >> (7 * (3 - i)) & 0x7F);
        return bytes;
    };
    QByteArray body;
    for (const auto& [id, text] : frames) {
        const QByteArray data = '\x03' + text.toUtf8();
        body += id + syncsafe(data.size()) + QByteArray(2, '\0') + data;
    }
    return "ID3" + QByteArray("\x04\0\0", 3) + syncsafe(body.size()) + body;
}

bool conformanceAvailable() { return !ConformanceStreams().empty(); }

ConformanceStream conformanceStream(const QString& name) {
    ConformanceStream stream;
    for (const ConformanceEntry& entry : ConformanceStreams()) {
        if (QString::fromStdString(entry.name) != name) continue;
        stream.path = QString::fromStdString(entry.stream);
        stream.reference = QString::fromStdString(entry.reference);
        stream.frequency = entry.frequency;
        stream.channels = entry.modes == "mono" ? 1 : 2;
        stream.decodedSamples = entry.decoded;
    }
    return stream;
}

double psnr(const QByteArray& pcm, const QString& referencePath) {
    const Comparison result = Compare(PcmOf(pcm.constData(), size_t(pcm.size())), 0, ReadPcm(referencePath.toStdString()));
    return result.compared == 0 ? 0 : result.psnr;
}

Fifo::Fifo(const QString& path) : m_path(QFile::encodeName(path)) { m_made = mkfifo(m_path, 0600) == 0; }

Fifo::~Fifo() {
    closeWriter();
    if (const int writer = ::open(m_path, O_WRONLY | O_NONBLOCK); writer >= 0) ::close(writer);
    ::unlink(m_path);
}

void Fifo::feed(const QByteArray& bytes) {
    if (m_writer < 0) m_writer = ::open(m_path, O_RDWR);
    ASSERT_GE(m_writer, 0);
    ASSERT_EQ(::write(m_writer, bytes.constData(), size_t(bytes.size())), bytes.size());
}

void Fifo::closeWriter() {
    if (m_writer >= 0) ::close(m_writer);
    m_writer = -1;
}

bool Fifo::releaseReader(const Converter& converter) {
    for (;;) {
        const int writer = ::open(m_path, O_WRONLY | O_NONBLOCK);
        if (writer >= 0) {
            ::close(writer);
            return true;
        }
        if (!converter.hasStuckJobs(10)) return false;
    }
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
