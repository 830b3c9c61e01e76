// The tunepress program itself: its options, files named on its command line, a missing
// display, and signals.
#include <QDir>
#include <QProcess>
#include <QTest>

#include <csignal>

#include "support.h"

namespace {

class ProgramTest : public ConverterTest {
protected:
    QProcess program;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    // Starts tunepress on the offscreen platform with its settings in the test's folder.
    void SetUp() override {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", path("config"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(environment);
    }

    void run(const QStringList& arguments) {
        program.start(TUNEPRESS, arguments);
        ASSERT_TRUE(program.waitForFinished(RunTimeoutMs));
        ASSERT_EQ(program.exitStatus(), QProcess::NormalExit);
        exitCode = program.exitCode();
        out = program.readAllStandardOutput();
        err = program.readAllStandardError();
    }
};

TEST_F(ProgramTest, HelpShowsTheUsage) {
    run({"--help"});
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(out.startsWith("usage: tunepress [FILE|FOLDER ...]\n")) << out.constData();
}

TEST_F(ProgramTest, AnUnknownOptionIsRefusedInOneLine) {
    run({"--frob"});
    EXPECT_EQ(exitCode, 2);
    EXPECT_EQ(err, "tunepress: unknown option --frob\n");
    EXPECT_TRUE(out.isEmpty());
}

TEST_F(ProgramTest, AFileOnTheCommandLineIsConvertedIntoTheSavedFolder) {
    QDir().mkpath(path("config/Tunepress"));
    write("config/Tunepress/Tunepress.ini", "[General]\noutput=" + path("converted").toUtf8() + "/\n");
    const QString file = write("song.mp3", LayerThreeMono.frames(16));
    run({file});
    EXPECT_EQ(exitCode, 0) << err.constData();
    const Wav wav = readWav(path("converted/song.wav"));
    EXPECT_TRUE(wav.valid);
    EXPECT_EQ(wav.data.size(), LayerThreeMono.pcmBytes(16));
    EXPECT_FALSE(QFile::exists(path("song.wav")));
    // The folder is saved again when the dialog closes.
    EXPECT_TRUE(read(path("config/Tunepress/Tunepress.ini")).contains("output=" + path("converted").toUtf8() + "/\n"));
}

TEST_F(ProgramTest, AFileNotConvertedIsNamedOnStandardErrorAndTheRunEndsWith1) {
    const QByteArray notes = write("notes.mp3", "Not a song, only notes.\n").toUtf8();
    run({QString(notes)});
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(err.endsWith("tunepress: " + notes + ": No MPEG audio\n")) << err.constData();
}

TEST_F(ProgramTest, AnOutputFolderThatCannotBeUsedIsNamedOnStandardErrorAndTheRunEndsWith1) {
    QDir().mkpath(path("config/Tunepress"));
    write("config/Tunepress/Tunepress.ini", "[General]\noutput=" + path("plain/out").toUtf8() + "\n");
    write("plain", "a file, not a folder");
    run({write("song.mp3", LayerThreeMono.frames(4))});
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(err.contains("tunepress: Cannot create the output folder " + path("plain/out").toUtf8())) << err.constData();
}

TEST_F(ProgramTest, WithoutADisplayItSaysSoAndEndsWith2) {
    QProcessEnvironment environment = program.processEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
    program.setProcessEnvironment(environment);
    run({write("song.mp3", LayerThreeMono.frames(4))});
    EXPECT_EQ(exitCode, 2);
    EXPECT_TRUE(err.startsWith("tunepress: no display") && err.count('\n') == 1) << err.constData();
}

TEST_F(ProgramTest, ASignalDuringARunRemovesThePartFileAndEndsTheProgram) {
    Fifo input(path("a.mp2"));
    if (!input.made()) GTEST_SKIP() << "no FIFO here";
    input.feed(LayerTwoStereo.frames(100));
    program.start(TUNEPRESS, {path("a.mp2")});
    const auto parts = [&] { return QDir(temp.path()).entryList({".tunepress-*"}, QDir::Files | QDir::Hidden); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return !parts().isEmpty(); }, RunTimeoutMs));
    ::kill(program.processId(), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(RunTimeoutMs));
    // Ended by the signal, as without a handler, once the run is cleaned up.
    EXPECT_EQ(program.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(program.exitCode(), SIGTERM);
    EXPECT_TRUE(parts().isEmpty());
    EXPECT_FALSE(QFile::exists(path("a.wav")));
}

}  // namespace
