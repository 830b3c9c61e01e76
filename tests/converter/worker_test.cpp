// Converter on the test's thread, as the dialog runs it: the outcome of each file, the
// order of the signals, files added to a run, jobs side by side, Stop (also of a job stuck
// in its input), failures at the end of a file, gapless trimming, part files left by a run
// that crashed.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QtEndian>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "about.h"
#include "file_size_limit.h"
#include "outputs.h"
#include "reasons.h"
#include "support.h"
#include "worker.h"

namespace {

struct Done {
    int id = 0;
    FileOutcome outcome = FileOutcome::Failed;
    QString detail;
};

class ConverterSignalsTest : public ConverterTest {
protected:
    Converter converter;
    QList<Done> done;
    QMap<int, QList<int>> percents;
    QStringList streams;
    int runsFinished = 0;
    // Every signal in the order it came: "started 0", "progress 0", "done 0", "finished".
    QStringList log;

    void SetUp() override {
        QObject::connect(&converter, &Converter::fileStarted, [this](int id) { log << QString("started %1").arg(id); });
        QObject::connect(&converter, &Converter::fileProgress, [this](int id, int percent) {
            percents[id] << percent;
            log << QString("progress %1").arg(id);
        });
        QObject::connect(&converter, &Converter::streamChanged, [this](int, const QString& text) { streams << text; });
        QObject::connect(&converter, &Converter::fileFinished,
                         [this](int id, FileOutcome outcome, const QString& detail) {
                             done.append({id, outcome, detail});
                             log << QString("done %1").arg(id);
                         });
        QObject::connect(&converter, &Converter::finished, [this] {
            ++runsFinished;
            log << "finished";
        });
    }

    static ConversionJob job(int id, const QString& input, const QString& output) { return {id, input, output}; }

    bool run(const QList<ConversionJob>& jobs) {
        const int before = runsFinished;
        converter.start(jobs);
        return QTest::qWaitFor([&] { return runsFinished > before; }, RunTimeoutMs);
    }

    Done outcomeOf(int id) const {
        for (const Done& file : done)
            if (file.id == id) return file;
        return {-1, FileOutcome::Failed, "no outcome"};
    }

    QStringList filesHere(const QString& folder = QString()) const {
        return QDir(folder.isEmpty() ? temp.path() : folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    // Waits for the jobs a stop left behind, then takes what they may still have posted.
    void letStoppedJobsReturn() {
        EXPECT_FALSE(converter.hasStuckJobs(RunTimeoutMs));
        QCoreApplication::sendPostedEvents();
    }
};

bool hasPartFile(const QStringList& files) {
    return std::any_of(files.begin(), files.end(), [](const QString& name) { return name.endsWith(".part"); });
}

TEST_F(ConverterSignalsTest, AnEmptyRunFinishesFromTheEventLoop) {
    converter.start({});
    EXPECT_EQ(runsFinished, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return runsFinished == 1; }, RunTimeoutMs));
    EXPECT_FALSE(converter.isRunning());
    EXPECT_TRUE(done.isEmpty());
}

TEST_F(ConverterSignalsTest, EachFileEndsWithItsOutcome) {
    // 2625 frames of 1152 samples at 48000 Hz: 63 seconds.
    const QString song = write("song.mp2", LayerTwoMono.frames(2625));
    const QString notes = write("notes.mp3", "Not a song, only notes.\n");
    const QString missing = path("missing.mp3");
    ASSERT_TRUE(run({job(0, song, path("song.wav")), job(1, notes, path("notes.wav")),
                     job(2, missing, path("missing.wav"))}));
    ASSERT_EQ(done.size(), 3);
    EXPECT_EQ(outcomeOf(0).outcome, FileOutcome::Converted);
    EXPECT_EQ(outcomeOf(0).detail, "1:03");
    EXPECT_EQ(outcomeOf(1).outcome, FileOutcome::Failed);
    EXPECT_EQ(outcomeOf(1).detail, "No MPEG audio");
    EXPECT_EQ(outcomeOf(2).outcome, FileOutcome::Failed);
    EXPECT_EQ(outcomeOf(2).detail, "Cannot open input (no such file)");
    EXPECT_EQ(log.last(), "finished");
    EXPECT_EQ(runsFinished, 1);
    EXPECT_EQ(filesHere(), QStringList({"notes.mp3", "song.mp2", "song.wav"}));
    const Wav wav = readWav(path("song.wav"));
    EXPECT_TRUE(wav.valid);
    EXPECT_EQ(wav.data.size(), LayerTwoMono.pcmBytes(2625));
}

TEST_F(ConverterSignalsTest, ProgressComesInWholePercentsBetweenStartAndEnd) {
    ASSERT_TRUE(run({job(7, write("a.mp2", LayerTwoStereo.frames(300)), path("a.wav"))}));
    // A short file may give its progress once: what came between two deliveries is merged.
    const QList<int> steps = percents.value(7);
    ASSERT_FALSE(steps.isEmpty());
    for (qsizetype i = 1; i < steps.size(); ++i) EXPECT_GT(steps[i], steps[i - 1]);
    EXPECT_GE(steps.first(), 0);
    EXPECT_LE(steps.last(), 100);
    EXPECT_EQ(log.first(), "started 7");
    EXPECT_EQ(log.mid(log.size() - 2), QStringList({"done 7", "finished"}));
}

TEST_F(ConverterSignalsTest, TheStreamLineFollowsTheStreamFromFrameToFrame) {
    SilentStream mono = LayerTwoStereo;
    mono.fields.mode = 3;
    ASSERT_TRUE(run({job(0, write("a.mp2", LayerTwoStereo.frames(10) + mono.frames(10)), path("a.wav"))}));
    ASSERT_GE(streams.size(), 2);
    EXPECT_EQ(streams.first(), "MPEG 1, layer II, 64 kbps, 48000 Hz, Stereo, 0 sec");
    EXPECT_EQ(streams.last(), "MPEG 1, layer II, 64 kbps, 48000 Hz, Mono, 0 sec");
}

TEST_F(ConverterSignalsTest, TheStreamLineNamesMpeg25) {
    const SilentStream mpeg25{{2, 3, 4, 0, false, 3}, 576, 11025};
    ASSERT_TRUE(run({job(0, write("a.mp3", mpeg25.frames(4)), path("a.wav"))}));
    ASSERT_FALSE(streams.isEmpty());
    EXPECT_EQ(streams.first(), "MPEG 2.5, layer III, 32 kbps, 11025 Hz, Mono, 0 sec");
}

TEST_F(ConverterSignalsTest, FilesAddedDuringARunAreConvertedInTheSameRun) {
    const QString added = write("b.mp3", LayerThreeMono.frames(10));
    QObject::connect(&converter, &Converter::fileStarted, [&](int id) {
        if (id == 0) converter.start({job(1, added, path("b.wav"))});
    });
    ASSERT_TRUE(run({job(0, write("a.mp2", LayerTwoStereo.frames(10)), path("a.wav"))}));
    EXPECT_EQ(outcomeOf(0).outcome, FileOutcome::Converted);
    EXPECT_EQ(outcomeOf(1).outcome, FileOutcome::Converted);
    EXPECT_EQ(log.last(), "finished");
    EXPECT_EQ(runsFinished, 1);
    EXPECT_EQ(readWav(path("b.wav")).data.size(), LayerThreeMono.pcmBytes(10));
}

TEST_F(ConverterSignalsTest, FilesConvertedSideBySideAreTheFilesConvertedOneByOne) {
    if (!conformanceAvailable()) GTEST_SKIP() << "no conformance streams";
    const QStringList names{"M2L3_noise", "l1-fl6", "l2-fl16", "l3-compl", "l3-he_mode", "l3-si_block"};
    for (const int workers : {1, 4}) {
        const QString folder = path(QString::number(workers));
        ASSERT_TRUE(QDir().mkdir(folder));
        QList<ConversionJob> jobs;
        for (int i = 0; i < names.size(); ++i)
            jobs << job(i, conformanceStream(names[i]).path, folder + '/' + names[i] + ".wav");
        converter.setWorkers(workers);
        ASSERT_TRUE(run(jobs));
    }
    for (const Done& file : done) EXPECT_EQ(file.outcome, FileOutcome::Converted) << qPrintable(file.detail);
    for (const QString& name : names) {
        const QByteArray alone = read(path("1/" + name + ".wav"));
        EXPECT_GT(alone.size(), 44) << qPrintable(name);
        EXPECT_EQ(alone, read(path("4/" + name + ".wav"))) << qPrintable(name);
    }
}

TEST_F(ConverterSignalsTest, AStopDropsTheFileUnderWayAndKeepsAnEarlierWav) {
    Fifo input(path("a.mp2"));
    if (!input.made()) GTEST_SKIP() << "no FIFO here";
    write("a.wav", "earlier");
    input.feed(LayerTwoStereo.frames(100));
    converter.start({job(0, path("a.mp2"), path("a.wav"))});
    // The job has read what there is and waits for more, its part file open.
    ASSERT_TRUE(QTest::qWaitFor([&] { return hasPartFile(filesHere()); }, RunTimeoutMs));
    converter.stop();
    input.closeWriter();
    letStoppedJobsReturn();
    EXPECT_EQ(read(path("a.wav")), "earlier");
    EXPECT_EQ(filesHere(), QStringList({"a.mp2", "a.wav"}));
}

TEST_F(ConverterSignalsTest, AStopEndsEveryUnfinishedFileOnceAndThenTheRun) {
    Fifo input(path("a.mp2"));
    if (!input.made()) GTEST_SKIP() << "no FIFO here";
    input.feed(LayerTwoStereo.frames(100));
    converter.setWorkers(1);
    converter.start({job(0, path("a.mp2"), path("a.wav")),
                     job(1, write("b.mp2", LayerTwoStereo.frames(5)), path("b.wav")),
                     job(2, write("c.mp2", LayerTwoStereo.frames(5)), path("c.wav"))});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !percents.value(0).isEmpty(); }, RunTimeoutMs));
    converter.stop();
    EXPECT_FALSE(converter.isRunning());
    input.closeWriter();
    letStoppedJobsReturn();
    ASSERT_EQ(done.size(), 3);
    for (int id = 0; id < 3; ++id) {
        EXPECT_EQ(done[id].id, id);
        EXPECT_EQ(done[id].outcome, FileOutcome::Stopped);
        EXPECT_EQ(done[id].detail, "");
    }
    EXPECT_EQ(log.last(), "finished");
    EXPECT_EQ(runsFinished, 1);
    EXPECT_EQ(filesHere(), QStringList({"a.mp2", "b.mp2", "c.mp2"}));
}

TEST_F(ConverterSignalsTest, AJobStuckInItsInputDoesNotHoldUpStop) {
    // Nothing ever writes to it: the job's open() waits for a writer.
    Fifo input(path("a.mp3"));
    if (!input.made()) GTEST_SKIP() << "no FIFO here";
    converter.start({job(0, path("a.mp3"), path("a.wav"))});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log.isEmpty(); }, RunTimeoutMs));
    converter.stop();
    EXPECT_EQ(runsFinished, 1);
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(done[0].outcome, FileOutcome::Stopped);
    EXPECT_TRUE(converter.hasStuckJobs(50));
    ASSERT_TRUE(input.releaseReader(converter));
    letStoppedJobsReturn();
    EXPECT_EQ(log.last(), "finished");
    EXPECT_EQ(filesHere(), QStringList({"a.mp3"}));
}

TEST_F(ConverterSignalsTest, ANewRunGoesOnBesideAJobStuckInItsInput) {
    Fifo input(path("stuck.mp3"));
    if (!input.made()) GTEST_SKIP() << "no FIFO here";
    converter.setWorkers(1);
    converter.start({job(0, path("stuck.mp3"), path("stuck.wav"))});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log.isEmpty(); }, RunTimeoutMs));
    converter.stop();
    done.clear();
    // The same id as the stuck job's, which must not count in the new run.
    ASSERT_TRUE(run({job(0, write("a.mp2", LayerTwoStereo.frames(10)), path("a.wav"))}));
    ASSERT_TRUE(input.releaseReader(converter));
    letStoppedJobsReturn();
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(done[0].outcome, FileOutcome::Converted);
    EXPECT_EQ(runsFinished, 2);
    EXPECT_EQ(readWav(path("a.wav")).data.size(), LayerTwoStereo.pcmBytes(10));
}

TEST_F(ConverterSignalsTest, AFileIsNeverConvertedOntoItself) {
    const QByteArray frames = LayerTwoStereo.frames(4);
    const QString file = write("a.mp2", frames);
    ASSERT_TRUE(run({job(0, file, file)}));
    EXPECT_EQ(outcomeOf(0).outcome, FileOutcome::Failed);
    EXPECT_EQ(outcomeOf(0).detail, "Cannot convert a file onto itself");
    EXPECT_EQ(read(file), frames);
}

TEST_F(ConverterSignalsTest, AFolderThatCannotBeMadeIsNamed) {
    write("plain", "a file, not a folder");
    ASSERT_TRUE(run({job(0, write("a.mp2", LayerTwoStereo.frames(4)), path("plain/album/a.wav"))}));
    EXPECT_EQ(outcomeOf(0).outcome, FileOutcome::Failed);
    EXPECT_TRUE(outcomeOf(0).detail.startsWith("Cannot create the folder of the WAV file ("))
        << qPrintable(outcomeOf(0).detail);
    EXPECT_EQ(filesHere(), QStringList({"a.mp2", "plain"}));
}

TEST_F(ConverterSignalsTest, AFullDiskAtTheCloseLeavesNoWav) {
    // Small enough for the engine's output buffer, so that only the close writes to the disk.
    const QString file = write("a.mp3", LayerThreeMono.frames(10));
    {
        const FileSizeLimit limit(1000);
        ASSERT_TRUE(run({job(0, file, path("a.wav"))}));
    }
    EXPECT_EQ(outcomeOf(0).outcome, FileOutcome::Failed);
    // The engine's words for it: a full disk would say "no space left on device".
    EXPECT_EQ(outcomeOf(0).detail, "Cannot complete the WAV file (" + reasonOf(EFBIG) + ")");
    EXPECT_EQ(filesHere(), QStringList({"a.mp3"}));
}

TEST_F(ConverterSignalsTest, AWavThatCannotTakeItsNameIsReportedAndLeavesNothing) {
    const QString file = write("a.mp2", LayerTwoStereo.frames(4));
    QDir(temp.path()).mkdir("a.wav");
    ASSERT_TRUE(run({job(0, file, path("a.wav"))}));
    EXPECT_EQ(outcomeOf(0).outcome, FileOutcome::Failed);
    const QString detail = outcomeOf(0).detail;
    EXPECT_TRUE(detail.startsWith("Cannot complete the WAV file (")) << qPrintable(detail);
    EXPECT_TRUE(QDir(path("a.wav")).isEmpty());
    EXPECT_EQ(filesHere(), QStringList({"a.mp2"}));
}

TEST_F(ConverterSignalsTest, APartFileOfACrashedRunIsRemovedAndOneOfARunningTunepressIsNot) {
    ASSERT_TRUE(QDir(temp.path()).mkpath("crashed") && QDir(temp.path()).mkpath("running"));
    write("crashed/.tunepress-aaaaaa.part", "left by a run that crashed");
    write("running/.tunepress-bbbbbb.part", "being written");
    // Another Tunepress writing in the folder holds it locked.
    const int running = ::open(QFile::encodeName(path("running")).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(running, LOCK_SH), 0);
    const QString song = write("a.mp2", LayerTwoStereo.frames(4));
    const bool ran = run({job(0, song, path("crashed/a.wav")), job(1, song, path("running/a.wav"))});
    ::close(running);
    ASSERT_TRUE(ran);
    EXPECT_EQ(filesHere(path("crashed")), QStringList({"a.wav"}));
    EXPECT_EQ(filesHere(path("running")), QStringList({".tunepress-bbbbbb.part", "a.wav"}));
}

TEST_F(ConverterSignalsTest, TheWavCarriesTheTagsAndNamesTunepress) {
    const QByteArray tag = id3Tag({{"TIT2", "Intro"}, {"TPE1", "Band"}});
    ASSERT_TRUE(run({job(0, write("a.mp2", tag + LayerTwoStereo.frames(4)), path("a.wav"))}));
    const QByteArray list = riffChunk(read(path("a.wav")), "LIST");
    EXPECT_TRUE(list.startsWith("INFO")) << list.toHex().constData();
    EXPECT_TRUE(list.contains("INAM\x06\0\0\0Intro"));
    EXPECT_TRUE(list.contains(QByteArray("Tunepress ") + TunepressVersion));
}

// A tone of `samples` samples, one channel at 44100 Hz, as a WAV file for lame.
QByteArray toneWav(int samples) {
    QByteArray data(samples * 2, Qt::Uninitialized);
    for (int i = 0; i < samples; ++i)
        qToLittleEndian<qint16>(qint16(8000 * std::sin(i * 2 * std::numbers::pi * 440 / 44100)), data.data() + 2 * i);
    QByteArray header(44, 0);
    char* at = header.data();
    std::memcpy(at, "RIFF", 4);
    qToLittleEndian<quint32>(quint32(36 + data.size()), at + 4);
    std::memcpy(at + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, at + 16);
    qToLittleEndian<quint16>(1, at + 20);
    qToLittleEndian<quint16>(1, at + 22);
    qToLittleEndian<quint32>(44100, at + 24);
    qToLittleEndian<quint32>(44100 * 2, at + 28);
    qToLittleEndian<quint16>(2, at + 32);
    qToLittleEndian<quint16>(16, at + 34);
    std::memcpy(at + 36, "data", 4);
    qToLittleEndian<quint32>(quint32(data.size()), at + 40);
    return header + data;
}

TEST_F(ConverterSignalsTest, GaplessTrimsALameFileToTheSamplesEncoded) {
    const QString lame = QStandardPaths::findExecutable("lame");
    if (lame.isEmpty()) GTEST_SKIP() << "lame is not installed";
    constexpr int Samples = 44100;
    const QString tone = write("tone.wav", toneWav(Samples));
    ASSERT_EQ(QProcess::execute(lame, {"--quiet", "-b", "128", tone, path("tone.mp3")}), 0);
    converter.setGapless(true);
    ASSERT_TRUE(run({job(0, path("tone.mp3"), path("gapless.wav"))}));
    converter.setGapless(false);
    ASSERT_TRUE(run({job(1, path("tone.mp3"), path("whole.wav"))}));
    EXPECT_EQ(readWav(path("gapless.wav")).data.size(), Samples * 2);
    EXPECT_GT(readWav(path("whole.wav")).data.size(), Samples * 2);
}

}  // namespace
