// Where a run's files go: the output folder as typed and made ready, the MPEG audio files
// below a folder, and the names planned for the outputs with the questions their clashes put.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "outputs.h"
#include "support.h"
#include "tag_names.h"

namespace {

TEST(WavPathTest, BesideTheSourceWithoutAFolder) {
    EXPECT_EQ(wavPathFor(singleFile("/music/song.mp3"), ""), "/music/song.wav");
    EXPECT_EQ(wavPathFor(singleFile("/music/live.at.home.mp2"), ""), "/music/live.at.home.wav");
    EXPECT_EQ(wavPathFor(singleFile("song.mp3"), ""), "song.wav");
    EXPECT_EQ(wavPathFor(singleFile("/music/notes"), ""), "/music/notes.wav");
    EXPECT_EQ(wavPathFor({"/music/Album/a.mp3", "Album/a.mp3"}, ""), "/music/Album/a.wav");
}

TEST(WavPathTest, InTheFolderWithOrWithoutItsTrailingSlash) {
    EXPECT_EQ(wavPathFor(singleFile("/music/song.mp3"), "/out"), "/out/song.wav");
    EXPECT_EQ(wavPathFor(singleFile("/music/song.mp3"), "/out/"), "/out/song.wav");
    EXPECT_EQ(wavPathFor(singleFile("/music/song.mp3"), "/"), "/song.wav");
    EXPECT_EQ(wavPathFor(singleFile("/music/song.mp3"), "relative/out/"), "relative/out/song.wav");
    EXPECT_EQ(wavPathFor({"/music/Album/CD 2/a.mp3", "Album/CD 2/a.mp3"}, "/out"), "/out/Album/CD 2/a.wav");
}

TEST(NamePatternTest, FieldsFromTagsWithUnsafeCharactersReplaced) {
    const NamePattern pattern("{artist}/{album}/{track:02} - {title}");
    const Tags tags{{"artist", "AC/DC"}, {"album", ".."}, {"track", "3/12"}, {"title", "Why? \"No\": <*|\\>"}};
    EXPECT_EQ(pattern.nameFor(tags), "AC_DC/_/03 - Why_ _No__ _____");
    EXPECT_EQ(pattern.nameFor({{"artist", "A"}, {"album", "B"}, {"track", "1"}}), "");
    EXPECT_EQ(NamePattern("{year}").error(), "Unknown field {year}");
    EXPECT_TRUE(NamePattern("  ").isEmpty());
}

class OutputsTest : public ConverterTest {
protected:
    QList<PlannedFile> asked;

    // Writes an empty file, with the folders above it.
    QString touch(const QString& name) {
        QDir().mkpath(QFileInfo(path(name)).path());
        return write(name, {});
    }
    // Plans the files given by themselves into the folder "out", giving `answer` to every
    // question and keeping the questions.
    QList<PlannedFile> plan(const QStringList& inputs, ClashAnswer answer, bool applyToAll = false) {
        QList<PlannedFile> wanted;
        for (const QString& input : inputs) wanted.append({input, wavPathFor(singleFile(input), path("out"))});
        return planOutputs(wanted, [&](const PlannedFile& file) {
                   asked << file;
                   return ClashDecision{answer, applyToAll};
               }).value_or(QList<PlannedFile>());
    }
};

TEST_F(OutputsTest, TildeStandsForTheHomeFolder) {
    EXPECT_EQ(expandedFolder(" ~ "), QDir::homePath());
    EXPECT_EQ(expandedFolder("~/music"), QDir::homePath() + "/music");
    EXPECT_EQ(expandedFolder("~music"), "~music");
    EXPECT_EQ(expandedFolder("/a/~/b"), "/a/~/b");
}

TEST_F(OutputsTest, NoFolderNeedsNothing) { EXPECT_EQ(prepareOutputFolder("  "), std::nullopt); }

TEST_F(OutputsTest, FolderIsMadeWithItsParents) {
    EXPECT_EQ(prepareOutputFolder(path("a/b/c")), std::nullopt);
    EXPECT_TRUE(QFileInfo(path("a/b/c")).isDir());
    EXPECT_EQ(QDir(path("a/b/c")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

TEST_F(OutputsTest, FolderThatCannotBeMadeIsNamed) {
    touch("file");
    const std::optional<QString> problem = prepareOutputFolder(path("file/sub"));
    ASSERT_TRUE(problem);
    // The reason comes from the C library, in the language of the locale.
    EXPECT_TRUE(problem->startsWith("Cannot create the output folder " + path("file/sub") + ": "))
        << qPrintable(*problem);
    EXPECT_FALSE(problem->endsWith(": "));
    EXPECT_EQ(prepareOutputFolder(path("file")), "The output folder " + path("file") + " is a file");
}

TEST_F(OutputsTest, FolderWithoutRoomForFilesIsNamed) {
    // No file can be made in /proc, not even by root.
    if (!QFileInfo::exists("/proc/self")) GTEST_SKIP() << "no /proc";
    const std::optional<QString> problem = prepareOutputFolder("/proc");
    ASSERT_TRUE(problem);
    EXPECT_TRUE(problem->startsWith("Cannot write in the output folder /proc: ")) << qPrintable(*problem);
}

TEST_F(OutputsTest, MpegFilesBelowAFolderWithTheirTree) {
    for (const char* name : {"m/B/one.MP3", "m/a.mp2", "m/c/d/e.Mp1", "m/c/f.mpa", "m/b.mpg", "m/.hidden.mp3",
                             "m/.hid/g.mp3", "m/notes.txt", "m/c/song.wav", "elsewhere/h.mp3"})
        touch(name);
    QDir().mkpath(path("m/folder.mp3"));
    ASSERT_TRUE(QFile::link(path("elsewhere"), path("m/link")));
    QStringList found;
    for (const SourceFile& file : mpegFilesBelow(path("m") + "/")) found << file.treePath + " " + file.path;
    found.sort();
    const QStringList expected{"m/B/one.MP3 " + path("m/B/one.MP3"), "m/a.mp2 " + path("m/a.mp2"),
                               "m/b.mpg " + path("m/b.mpg"), "m/c/d/e.Mp1 " + path("m/c/d/e.Mp1"),
                               "m/c/f.mpa " + path("m/c/f.mpa")};
    EXPECT_EQ(found, expected);
}

TEST_F(OutputsTest, ExistingOutputOverwritten) {
    const QString input = touch("in/song.mp3");
    touch("out/song.wav");
    const QList<PlannedFile> planned = plan({input}, ClashAnswer::Overwrite);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].output, path("out/song.wav"));
    EXPECT_EQ(planned[0].output, path("out/song.wav"));
}

TEST_F(OutputsTest, ExistingOutputSkipped) {
    touch("out/song.wav");
    const QList<PlannedFile> planned = plan({touch("in/song.mp3")}, ClashAnswer::Skip);
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(planned[0].output, "");
}

TEST_F(OutputsTest, ExistingOutputKeptWithTheFirstFreeNumber) {
    for (const char* name : {"out/song.wav", "out/song (2).wav", "out/song (4).wav"}) touch(name);
    const QList<PlannedFile> planned = plan({touch("in/song.mp3")}, ClashAnswer::KeepBoth);
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(planned[0].output, path("out/song (3).wav"));
}

// Overwrite is for what was there before the run: the run's own outputs are all kept.
TEST_F(OutputsTest, InputsWithOneNameAreNumberedEvenWithOverwriteForAll) {
    touch("out/song.wav");
    const QList<PlannedFile> planned =
        plan({touch("a/song.mp3"), touch("b/song.mp2"), touch("c/song.mpa")}, ClashAnswer::Overwrite, true);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(planned[0].output, path("out/song.wav"));
    EXPECT_EQ(planned[1].output, path("out/song (2).wav"));
    EXPECT_EQ(planned[2].output, path("out/song (3).wav"));
}

TEST_F(OutputsTest, AnswerForAllAskedOnce) {
    touch("out/a.wav");
    const QList<PlannedFile> planned =
        plan({touch("x/a.mp3"), touch("x/b.mp3"), touch("y/b.mp3")}, ClashAnswer::KeepBoth, true);
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(planned[0].output, path("out/a (2).wav"));
    EXPECT_EQ(planned[1].output, path("out/b.wav"));
    EXPECT_EQ(planned[2].output, path("out/b (2).wav"));
}

TEST_F(OutputsTest, InputOntoItselfSkippedWithoutAsking) {
    const QList<PlannedFile> planned = plan({touch("out/song.wav")}, ClashAnswer::Overwrite);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(planned[0].output, "");
}

}  // namespace
