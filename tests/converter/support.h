// What the converter tests share: MPEG streams made to order, WAV files read back, the
// conformance streams, FIFOs fed from the test, and a folder of its own for every test.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <filesystem>

#include "mpeg_frames.h"

#include <optional>
#include <ostream>
#include <utility>

// Readable failures for the texts the tests compare.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

// Long enough for a run of a sanitizer build on a busy machine; only a hang reaches it.
constexpr int RunTimeoutMs = 120000;

// A stream whose frames are a header and zero bytes, which decode to silence.
struct SilentStream {
    HeaderFields fields;
    int samplesPerFrame;  // in each channel
    int frequency;

    QByteArray frames(int count) const;
    int channels() const { return fields.mode == 3 ? 1 : 2; }
    qint64 pcmBytes(int count) const { return qint64(count) * samplesPerFrame * channels() * 2; }
};

// MPEG-1 layer II, 64 kbit/s, 48000 Hz, stereo.
extern const SilentStream LayerTwoStereo;
// MPEG-1 layer II, 32 kbit/s, 48000 Hz, one channel: the smallest frames, for long files.
extern const SilentStream LayerTwoMono;
// MPEG-1 layer I, 32 kbit/s, 44100 Hz, stereo.
extern const SilentStream LayerOneStereo;
// MPEG-2 layer III, 32 kbit/s, 22050 Hz, one channel.
extern const SilentStream LayerThreeMono;

// A WAV file as read back: `header` when its 44-byte header is complete and agrees with
// itself, `valid` when the file also holds just the data that the header counts.
struct Wav {
    bool header = false;
    bool valid = false;
    int channels = 0;
    int frequency = 0;
    qint64 fileBytes = 0;
    QByteArray data;
};
Wav readWav(const QString& path);
// The body of the first chunk `id` of a RIFF file ("LIST"); empty when there is none.
QByteArray riffChunk(const QByteArray& file, const QByteArray& id);

// An ID3v2.4 tag of UTF-8 text frames: {{"TIT2", "Intro"}, {"TRCK", "1/9"}}.
QByteArray id3Tag(const QList<std::pair<QByteArray, QString>>& frames);

// A stream of the conformance folder, as its manifest describes it.
struct ConformanceStream {
    QString path;
    int channels = 0;
    int frequency = 0;
    qint64 decodedSamples = 0;
    QString reference;  // the reference PCM
};
bool conformanceAvailable();
ConformanceStream conformanceStream(const QString& name);
// How close 16-bit PCM comes to a reference, in dB over the samples both hold.
double psnr(const QByteArray& pcm, const QString& referencePath);

class Converter;

// A FIFO fed from the test: the job reading it waits for as long as the test wants.
class Fifo {
public:
    explicit Fifo(const QString& path);
    // Lets go of a job still waiting in its open(), so that a failed test does not hang in
    // the converter's destructor, and turns away any job that comes later.
    ~Fifo();
    Fifo(const Fifo&) = delete;
    Fifo& operator=(const Fifo&) = delete;

    bool made() const { return m_made; }
    // Opened for reading too, the FIFO takes a writer without waiting for its reader.
    void feed(const QByteArray& bytes);
    void closeWriter();
    // A reader waiting in its open() for a writer sees one come and go: it goes on to the end.
    bool releaseReader(const Converter& converter);

private:
    QByteArray m_path;
    bool m_made = false;
    int m_writer = -1;
};

class ConverterTest : public ::testing::Test {
protected:
    QTemporaryDir temp;

    // QTemporaryDir leaves behind a name that is not UTF-8; the file system does not.
    void TearDown() override { std::filesystem::remove_all(temp.path().toStdString()); }

    QString path(const QString& name) const { return temp.filePath(name); }
    // Writes `bytes` to `name` in the test's folder and returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& path) const;
};
