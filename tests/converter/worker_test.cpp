// ConversionWorker on a thread of its own, as the dialog runs it: output names, the list
// re-read during a run, the stop between frames, inputs without audio, failures at the end
// of a file, the end of a run.
#include <QDir>
#include <QFile>
#include <QTest>
#include <QThread>

#include "file_size_limit.h"
#include "support.h"
#include "worker.h"

#include <algorithm>

namespace {

TEST(WavPath, BesideTheSourceWithoutAFolder) {
    EXPECT_EQ(wavPathFor("/music/song.mp3", ""), "/music/song.wav");
    EXPECT_EQ(wavPathFor("/music/live.at.home.mp2", ""), "/music/live.at.home.wav");
    EXPECT_EQ(wavPathFor("song.mp3", ""), "song.wav");
    EXPECT_EQ(wavPathFor("/music/notes", ""), "/music/notes.wav");
}

TEST(WavPath, InTheFolderWithOrWithoutItsTrailingSlash) {
    EXPECT_EQ(wavPathFor("/music/song.mp3", "/out"), "/out/song.wav");
    EXPECT_EQ(wavPathFor("/music/song.mp3", "/out/"), "/out/song.wav");
    EXPECT_EQ(wavPathFor("/music/song.mp3", "/"), "/song.wav");
    EXPECT_EQ(wavPathFor("/music/song.mp3", "relative/out/"), "relative/out/song.wav");
}

class WorkerTest : public ConverterTest {
protected:
    QThread thread;
    ConversionWorker* worker = new ConversionWorker;
    QObject receiver;  // on the test's thread, so the signals arrive queued as in the dialog
    QStringList messages;
    QList<int> rows;
    QStringList streams;
    QList<QPair<int, int>> progress;
    std::optional<ConversionWorker::Outcome> outcome;

    void SetUp() override {
        worker->moveToThread(&thread);
        QObject::connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        QObject::connect(worker, &ConversionWorker::message, &receiver,
                         [this](const QString& text) { messages << text; });
        QObject::connect(worker, &ConversionWorker::fileStarted, &receiver, [this](int row) { rows << row; });
        QObject::connect(worker, &ConversionWorker::streamChanged, &receiver,
                         [this](const QString& text) { streams << text; });
        QObject::connect(worker, &ConversionWorker::progressChanged, &receiver, [this](int overall, int current) {
            progress.append({overall, current});
        });
        QObject::connect(worker, &ConversionWorker::finished, &receiver,
                         [this](ConversionWorker::Outcome result) { outcome = result; });
        thread.start();
    }

    void TearDown() override {
        worker->requestStop();
        thread.quit();
        thread.wait();
    }

    bool run(const QStringList& files, const QString& folder = QString()) {
        worker->setFiles(files);
        worker->start(folder);
        return QTest::qWaitFor([this] { return outcome.has_value(); }, RunTimeoutMs);
    }
};

TEST_F(WorkerTest, AnEmptyListEndsWithTheBarsAt100And0) {
    ASSERT_TRUE(run({}));
    EXPECT_EQ(*outcome, ConversionWorker::Outcome::AllConverted);
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last(), qMakePair(100, 0));
    EXPECT_TRUE(rows.isEmpty());
    EXPECT_TRUE(QDir(temp.path()).isEmpty());
}

TEST_F(WorkerTest, ProgressOnlyGrowsAcrossTheFiles) {
    const QString first = write("a.mp2", LayerTwoStereo.frames(60));
    const QString second = write("b.mp2", LayerTwoStereo.frames(60));
    ASSERT_TRUE(run({first, second}));
    EXPECT_EQ(*outcome, ConversionWorker::Outcome::AllConverted);
    EXPECT_EQ(rows, QList<int>({0, 1}));
    ASSERT_GT(progress.size(), 3);
    for (qsizetype i = 1; i + 1 < progress.size(); ++i) {
        EXPECT_GE(progress[i].first, progress[i - 1].first);
        EXPECT_LE(progress[i].first, 100);
        EXPECT_GE(progress[i].second, 0);
        EXPECT_LE(progress[i].second, 100);
    }
    // The first file fills the first half of the overall bar.
    EXPECT_TRUE(std::any_of(progress.begin(), progress.end(), [](auto p) { return p.first >= 25 && p.first < 50; }));
    EXPECT_EQ(progress.last(), qMakePair(100, 0));
}

TEST_F(WorkerTest, TheStreamLineFollowsTheStreamFromFrameToFrame) {
    SilentStream mono = LayerTwoStereo;
    mono.fields.mode = 3;
    const QString file = write("a.mp2", LayerTwoStereo.frames(10) + mono.frames(10));
    ASSERT_TRUE(run({file}));
    ASSERT_GE(streams.size(), 2);
    EXPECT_EQ(streams.first(), "MPEG 1, layer II, 64 kbps, 48000 hz, Stereo, 0 sec");
    EXPECT_EQ(streams.last(), "MPEG 1, layer II, 64 kbps, 48000 hz, Mono, 0 sec");
}

TEST_F(WorkerTest, FilesHandedOverDuringARunAreConvertedInTheSameRun) {
    const QString first = write("a.mp2", LayerTwoStereo.frames(10));
    const QString added = write("b.mp3", LayerThreeMono.frames(10));
    // Runs on the worker's thread while it starts the first file.
    QObject::connect(
        worker, &ConversionWorker::fileStarted, worker,
        [&](int row) {
            if (row == 0) worker->setFiles({first, added});
        },
        Qt::DirectConnection);
    ASSERT_TRUE(run({first}));
    EXPECT_EQ(*outcome, ConversionWorker::Outcome::AllConverted);
    EXPECT_EQ(rows, QList<int>({0, 1}));
    const Wav wav = readWav(path("b.wav"));
    EXPECT_TRUE(wav.valid);
    EXPECT_EQ(wav.data.size(), LayerThreeMono.pcmBytes(10));
}

TEST_F(WorkerTest, AStopDropsTheFileUnderWayAndKeepsAnEarlierWav) {
    const QString first = write("a.mp2", LayerTwoStereo.frames(50));
    const QString second = write("b.mp2", LayerTwoStereo.frames(5));
    write("a.wav", "earlier");
    QObject::connect(
        worker, &ConversionWorker::fileStarted, worker,
        [&](int row) {
            if (row == 0) worker->requestStop();
        },
        Qt::DirectConnection);
    ASSERT_TRUE(run({first, second}));
    EXPECT_EQ(*outcome, ConversionWorker::Outcome::NotAllConverted);
    EXPECT_EQ(rows, QList<int>({0}));
    EXPECT_EQ(read(path("a.wav")), "earlier");
    // Hidden files count too: the output under way is written under a name of its own.
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"a.mp2", "a.wav", "b.mp2"}));
    EXPECT_EQ(progress.last(), qMakePair(100, 0));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(WorkerTest, AFileCutShortByAStopIsNotConverted) {
    const QString file = write("a.mp2", LayerTwoStereo.frames(50));
    QObject::connect(
        worker, &ConversionWorker::fileStarted, worker, [&] { worker->requestStop(); }, Qt::DirectConnection);
    ASSERT_TRUE(run({file}));
    EXPECT_EQ(*outcome, ConversionWorker::Outcome::NotAllConverted);
}

TEST_F(WorkerTest, ASecondRunAfterAStopGoesOnNormally) {
    const QString file = write("a.mp2", LayerTwoStereo.frames(20));
    worker->requestStop();
    ASSERT_TRUE(run({file}));
    EXPECT_EQ(*outcome, ConversionWorker::Outcome::AllConverted);
    EXPECT_EQ(readWav(path("a.wav")).data.size(), LayerTwoStereo.pcmBytes(20));
}

TEST_F(WorkerTest, InputsWithoutMpegAudioAreNamedAndTheRunGoesOn) {
    const QString text = write("notes.mp3", "Not a song, only notes.\n");
    const QString empty = write("empty.mp2", {});
    QDir(temp.path()).mkdir("album.mp3");
    const QString song = write("song.mp2", LayerTwoStereo.frames(4));
    ASSERT_TRUE(run({text, empty, path("album.mp3"), song}));
    EXPECT_EQ(*outcome, ConversionWorker::Outcome::NotAllConverted);
    EXPECT_EQ(messages, QStringList({"No MPEG audio in " + text, "No MPEG audio in " + empty,
                                     "No MPEG audio in " + path("album.mp3")}));
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"empty.mp2", "notes.mp3", "song.mp2", "song.wav"}));
    EXPECT_EQ(readWav(path("song.wav")).data.size(), LayerTwoStereo.pcmBytes(4));
}

TEST_F(WorkerTest, AFullDiskAtTheCloseLeavesNoWav) {
    // Small enough for the engine's output buffer, so that only the close writes to the disk.
    const QString file = write("a.mp3", LayerThreeMono.frames(10));
    {
        const FileSizeLimit limit(1000);
        ASSERT_TRUE(run({file}));
    }
    EXPECT_EQ(*outcome, ConversionWorker::Outcome::NotAllConverted);
    EXPECT_EQ(messages, QStringList({"Cannot complete " + path("a.wav") + " (write failed)"}));
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"a.mp3"}));
}

TEST_F(WorkerTest, AWavThatCannotTakeItsNameIsReportedAndLeavesNothing) {
    const QString file = write("a.mp2", LayerTwoStereo.frames(4));
    QDir(temp.path()).mkdir("a.wav");
    ASSERT_TRUE(run({file}));
    EXPECT_EQ(*outcome, ConversionWorker::Outcome::NotAllConverted);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().startsWith("Cannot complete " + path("a.wav") + " (")) << qPrintable(messages.first());
    EXPECT_TRUE(QDir(path("a.wav")).isEmpty());
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"a.mp2"}));
}

TEST_F(WorkerTest, TheStreamLineNamesMpeg25) {
    const SilentStream mpeg25{{2, 3, 4, 0, false, 3}, 576, 11025};
    ASSERT_TRUE(run({write("a.mp3", mpeg25.frames(4))}));
    ASSERT_FALSE(streams.isEmpty());
    EXPECT_EQ(streams.first(), "MPEG 2.5, layer III, 32 kbps, 11025 hz, Mono, 0 sec");
}

}  // namespace
