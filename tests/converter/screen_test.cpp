// The real tunepress on a virtual X server: its picture of the dialog, taken with
// --screenshot, is the dialog as this process draws it on the same display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "dialog.h"
#include "support.h"

namespace {

TEST(ScreenTest, TheScreenshotShowsTheDialog) {
    QTemporaryDir temp;
    const QString shot = temp.filePath("dialog.png");
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", temp.filePath("program-settings"));
    program.setProcessEnvironment(environment);
    program.start(TUNEPRESS, {"--screenshot", shot});
    ASSERT_TRUE(program.waitForFinished(60000));
    ASSERT_EQ(program.exitCode(), 0) << program.readAllStandardError().constData();
    const QImage picture = QImage(shot).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(picture.isNull());

    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, temp.filePath("test-settings"));
    MainDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QImage expected = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(picture.size(), dialog.size());
    ASSERT_EQ(picture.size(), expected.size());

    // Not blank: the window's colour, the text and the frames all show.
    QSet<QRgb> colours;
    int differing = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            colours.insert(picture.pixel(x, y));
            differing += picture.pixel(x, y) != expected.pixel(x, y);
        }
    EXPECT_GT(colours.size(), 16);
    // Only a focus frame may tell the two apart.
    EXPECT_LT(differing, picture.width() * picture.height() / 100);
}

// A picture for the reader of what a run leaves in the dialog: a file converted, one
// without audio and one missing, each with its status, and the summary line.
TEST(ScreenTest, APictureOfTheDialogAfterAMixedRun) {
    QTemporaryDir temp;
    QFile song(temp.filePath("song.mp2"));
    ASSERT_TRUE(song.open(QIODevice::WriteOnly));
    song.write(LayerTwoStereo.frames(200));
    song.close();
    QFile notes(temp.filePath("notes.mp3"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("Not a song, only notes.\n");
    notes.close();
    const QString shot = SCREENSHOT_DIR "/tunepress-after-a-run.png";
    QFile::remove(shot);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", temp.filePath("program-settings"));
    program.setProcessEnvironment(environment);
    program.start(TUNEPRESS, {"--screenshot", shot, song.fileName(), notes.fileName(), temp.filePath("gone.mp3")});
    ASSERT_TRUE(program.waitForFinished(60000));
    // Not every file was converted.
    EXPECT_EQ(program.exitCode(), 1) << program.readAllStandardError().constData();
    EXPECT_TRUE(QFile::exists(temp.filePath("song.wav")));
    const QImage picture(shot);
    ASSERT_FALSE(picture.isNull());
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) colours.insert(picture.pixel(x, y));
    EXPECT_GT(colours.size(), 16);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
