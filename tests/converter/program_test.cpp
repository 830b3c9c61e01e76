// The tunepress program itself: its options, and a file named on its command line.
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>

#include "dialog.h"
#include "support.h"

namespace {

class ProgramTest : public ConverterTest {
protected:
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    // Runs tunepress on the offscreen platform with its settings in the test's folder.
    void run(const QStringList& arguments) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", path("config"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(environment);
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

// The program would wait for its message box to be closed, which no test can do: the file
// goes to the dialog as main() hands it over, with the message kept instead of shown.
TEST_F(ProgramTest, AFileWithoutMpegAudioOnTheCommandLineEndsWith1) {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path("config"));
    MainDialog dialog;
    dialog.setMessageFunction([](const QString&) {});
    QSignalSpy end(&dialog, &MainDialog::endRequested);
    dialog.convertAndEnd({write("notes.mp3", "Not a song, only notes.\n")});
    ASSERT_TRUE(end.wait(RunTimeoutMs));
    EXPECT_EQ(end.first().first().toInt(), 1);
}

}  // namespace
