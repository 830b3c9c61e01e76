// The Tunepress dialog with its worker, driven through its controls: the list, the choosers,
// runs over generated and conformance streams, stop, failures and their messages, the
// setting, and the command-line run. Messages are kept instead of shown.
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <csignal>
#include <functional>
#include <memory>

#include "about.h"
#include "dialog.h"
#include "file_size_limit.h"
#include "support.h"

namespace {

// Hands the next file chooser to `answer` once it is open, from inside its own loop.
void answerFileDialog(std::function<void(QFileDialog*)> answer) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!chooser) return;
        poll->deleteLater();
        poll->stop();
        answer(chooser);
    });
    poll->start(10);
}

class DialogTest : public ConverterTest {
protected:
    std::unique_ptr<MainDialog> dialog;
    QStringList messages;

    void SetUp() override {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path("settings"));
        dialog = newDialog();
    }

    std::unique_ptr<MainDialog> newDialog() {
        auto made = std::make_unique<MainDialog>();
        made->setMessageFunction([this](const QString& text) { messages << text; });
        return made;
    }

    QString settingsFile() const { return path("settings/Tunepress/Tunepress.ini"); }

    template <typename Widget>
    Widget* control(const char* name) const {
        auto* found = dialog->findChild<Widget*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QPushButton* button(const char* name) const { return control<QPushButton>(name); }
    QString label(const char* name) const { return control<QLabel>(name)->text(); }
    int bar(const char* name) const { return control<QProgressBar>(name)->value(); }

    bool idle() const { return button("decode")->isEnabled() && button("decode")->text() == "&Decode"; }
    bool waitUntilIdle() const {
        return QTest::qWaitFor([this] { return idle(); }, RunTimeoutMs);
    }

    // Lists `files`, sets the output folder and runs the conversion to its end.
    void convert(const QStringList& files, const QString& folder = QString()) {
        dialog->addFiles(files);
        control<QLineEdit>("folder")->setText(folder);
        button("decode")->click();
        EXPECT_EQ(button("decode")->text(), "&Stop");
        ASSERT_TRUE(waitUntilIdle());
    }

    void expectControlsEnabled(bool enabled) const {
        for (const char* name : {"files", "add", "clear", "close"})
            EXPECT_EQ(control<QWidget>(name)->isEnabled(), enabled) << name;
    }

    // Converts `path` as the command line does and returns the status the program ends with.
    int convertAndEnd(const QString& file) {
        QSignalSpy end(dialog.get(), &MainDialog::endRequested);
        dialog->convertAndEnd(file);
        EXPECT_TRUE(end.wait(RunTimeoutMs));
        return end.isEmpty() ? -1 : end.first().first().toInt();
    }

    // Starts the dialog again with `folder` as the saved output folder.
    void restartWithSavedFolder(const QString& folder) {
        dialog.reset();
        QDir().mkpath(path("settings/Tunepress"));
        write("settings/Tunepress/Tunepress.ini", "[General]\noutput=" + folder.toUtf8() + "\n");
        dialog = newDialog();
    }
};

TEST_F(DialogTest, ShowsTheControlsAndTextsOfTheDialog) {
    EXPECT_EQ(dialog->windowTitle(), "Tunepress");
    QStringList groups;
    for (const QGroupBox* group : dialog->findChildren<QGroupBox*>()) groups << group->title();
    EXPECT_EQ(groups, QStringList({"Input", "Output", "Status"}));
    QStringList labels;
    for (const QLabel* text : dialog->findChildren<QLabel*>()) labels << text->text();
    for (const char* text : {"Mp3 files to decode:", "Output folder:", "Overall progress:", "Current file:"})
        EXPECT_TRUE(labels.contains(text)) << text;
    EXPECT_EQ(label("status"), "1. Click \"Add\" and select all the mp3 files to decode");
    EXPECT_EQ(label("stream"), "2. Click \"Decode\" to start the process");
    const std::pair<const char*, const char*> buttons[] = {{"add", "&Add"},     {"clear", "&Clear"},
                                                           {"browse", "..."},   {"decode", "&Decode"},
                                                           {"close", "&Close"}, {"about", "&About..."}};
    for (const auto& [name, text] : buttons) EXPECT_EQ(button(name)->text(), text);
    EXPECT_TRUE(button("decode")->isDefault());
    for (const char* name : {"overall", "current"}) {
        EXPECT_EQ(control<QProgressBar>(name)->minimum(), 0);
        EXPECT_EQ(control<QProgressBar>(name)->maximum(), 100);
    }
    EXPECT_FALSE(dialog->windowIcon().isNull());
}

TEST_F(DialogTest, TheAboutBoxShowsTheProgramAndItsVersion) {
    AboutDialog about(dialog.get());
    EXPECT_EQ(about.windowTitle(), "About Tunepress");
    QStringList texts;
    bool icon = false;
    for (const QLabel* text : about.findChildren<QLabel*>()) {
        texts << text->text();
        icon = icon || !text->pixmap().isNull();
    }
    EXPECT_TRUE(icon);
    ASSERT_EQ(texts.size(), 5);
    EXPECT_TRUE(texts.contains("Tunepress Version 1.25"));
    EXPECT_EQ(about.findChildren<QPushButton*>().size(), 1);
}

TEST_F(DialogTest, AddedFilesAreListedSortedWithTheirDuplicates) {
    dialog->addFiles({"/music/b.mp3", "/music/a.mp3", "/music/C.mp2"});
    dialog->addFiles({"/music/a.mp3"});
    const QStringList sorted{"/music/a.mp3", "/music/a.mp3", "/music/b.mp3", "/music/C.mp2"};
    EXPECT_EQ(dialog->files(), sorted);
    auto* list = control<QListWidget>("files");
    ASSERT_EQ(list->count(), 4);
    for (int row = 0; row < 4; ++row) EXPECT_EQ(list->item(row)->text(), sorted[row]);
    button("clear")->click();
    EXPECT_TRUE(dialog->files().isEmpty());
}

TEST_F(DialogTest, DroppedFilesAreListedSorted) {
    dialog->addFiles({path("m.mp3")});
    const QString b = write("b.mp3", {});
    const QString a = write("a.mp2", {});
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(b), QUrl::fromLocalFile(a), QUrl::fromLocalFile(temp.path()),
                  QUrl("https://example.org/z.mp3")});
    QWidget* list = control<QListWidget>("files")->viewport();

    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list, &drop);
    EXPECT_TRUE(drop.isAccepted());
    // Folders and files elsewhere than on this computer are left out.
    EXPECT_EQ(dialog->files(), QStringList({a, b, path("m.mp3")}));

    QMimeData remote;
    remote.setUrls({QUrl("https://example.org/z.mp3")});
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &remote, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(DialogTest, TheFileChooserAddsEveryChosenFileAndACancelAddsNone) {
    write("b.mp3", LayerThreeMono.frames(2));
    write("a.mp2", LayerTwoStereo.frames(2));
    QStringList filters;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    answerFileDialog([&](QFileDialog* chooser) {
        filters = chooser->nameFilters();
        mode = chooser->fileMode();
        chooser->setDirectory(temp.path());
        chooser->findChild<QLineEdit*>("fileNameEdit")->setText("\"b.mp3\" \"a.mp2\"");
        static_cast<QDialog*>(chooser)->accept();  // as its Open button does
    });
    button("add")->click();
    EXPECT_EQ(filters, QStringList({"MPEG Audio Files (*.mpg *.mp1 *.mp2 *.mp3)", "All Files (*)"}));
    EXPECT_EQ(mode, QFileDialog::ExistingFiles);
    EXPECT_EQ(dialog->files(), QStringList({path("a.mp2"), path("b.mp3")}));

    answerFileDialog([](QFileDialog* chooser) { chooser->reject(); });
    button("add")->click();
    EXPECT_EQ(dialog->files(), QStringList({path("a.mp2"), path("b.mp3")}));
}

TEST_F(DialogTest, TheFolderChooserSetsTheFolderAndACancelKeepsIt) {
    auto* folder = control<QLineEdit>("folder");
    folder->setText("/before");
    QString title;
    answerFileDialog([&](QFileDialog* chooser) {
        title = chooser->windowTitle();
        chooser->reject();
    });
    button("browse")->click();
    EXPECT_EQ(title, "Choose folder");
    EXPECT_EQ(folder->text(), "/before");

    QDir(temp.path()).mkdir("chosen");
    answerFileDialog([&](QFileDialog* chooser) {
        chooser->setDirectory(path("chosen"));
        static_cast<QDialog*>(chooser)->accept();  // as its Open button does
    });
    button("browse")->click();
    EXPECT_EQ(folder->text(), path("chosen"));
}

TEST_F(DialogTest, ARunWritesWavFilesBesideTheirSources) {
    const QString one = write("one.mp2", LayerTwoStereo.frames(40));
    const QString six = write("Six.mp1", LayerOneStereo.frames(30));
    const QString ten = write("ten.mp3", LayerThreeMono.frames(500));
    convert({ten, one, six});

    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join('|'));
    const std::tuple<const char*, const SilentStream*, int> expected[] = {
        {"one.wav", &LayerTwoStereo, 40}, {"Six.wav", &LayerOneStereo, 30}, {"ten.wav", &LayerThreeMono, 500}};
    for (const auto& [name, stream, frames] : expected) {
        const Wav wav = readWav(path(name));
        EXPECT_TRUE(wav.valid) << name;
        EXPECT_EQ(wav.fileBytes, 44 + stream->pcmBytes(frames)) << name;
        EXPECT_EQ(wav.channels, stream->channels()) << name;
        EXPECT_EQ(wav.frequency, stream->frequency) << name;
        EXPECT_EQ(wav.data, QByteArray(stream->pcmBytes(frames), '\0')) << name;
    }
    EXPECT_EQ(bar("overall"), 100);
    EXPECT_EQ(bar("current"), 0);
    expectControlsEnabled(true);
    // The list's order, where case does not count, is the order of conversion.
    EXPECT_EQ(dialog->files(), QStringList({one, six, ten}));
    EXPECT_EQ(control<QListWidget>("files")->currentRow(), 2);
    EXPECT_EQ(label("status"), "Decoding: " + ten);
    EXPECT_EQ(label("stream"), "MPEG 2, layer III, 32 kbps, 22050 hz, Mono, 13 sec");
}

TEST_F(DialogTest, ARunConvertsConformanceStreamsFaithfully) {
    if (!conformanceAvailable()) GTEST_SKIP() << "no conformance streams at " CONFORMANCE_DIR;
    const std::pair<const char*, const char*> streams[] = {
        {"l1-fl4", "a.mp1"}, {"l2-fl13", "b.mp2"}, {"l3-hecommon", "c.mp3"}, {"M2L3_compl24", "d.mpg"}};
    QStringList files;
    for (const auto& [name, file] : streams) {
        const ConformanceStream stream = conformanceStream(name);
        ASSERT_FALSE(stream.path.isEmpty()) << name;
        files << write(file, read(stream.path));
    }
    convert(files);
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join('|'));
    for (const auto& [name, file] : streams) {
        const ConformanceStream stream = conformanceStream(name);
        const Wav wav = readWav(wavPathFor(path(file), QString()));
        EXPECT_TRUE(wav.valid) << name;
        EXPECT_EQ(wav.channels, stream.channels) << name;
        EXPECT_EQ(wav.frequency, stream.frequency) << name;
        EXPECT_EQ(wav.data.size(), stream.decodedSamples * 2) << name;
        EXPECT_GE(psnr(wav.data, stream.reference), 96.0) << name;
    }
}

class OutputFolderTest : public DialogTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(OutputFolderTest, ARunWritesIntoTheOutputFolder) {
    const QString one = write("one.mp2", LayerTwoStereo.frames(8));
    const QString two = write("two.mp3", LayerThreeMono.frames(8));
    convert({one, two}, path("out") + GetParam());
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join('|'));
    EXPECT_EQ(QDir(path("out")).entryList(QDir::Files), QStringList({"one.wav", "two.wav"}));
    EXPECT_EQ(readWav(path("out/one.wav")).data.size(), LayerTwoStereo.pcmBytes(8));
    EXPECT_EQ(readWav(path("out/two.wav")).data.size(), LayerThreeMono.pcmBytes(8));
    EXPECT_FALSE(QFile::exists(path("one.wav")));
    EXPECT_FALSE(QFile::exists(path("two.wav")));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutTrailingSlash, OutputFolderTest, ::testing::Values("", "/"));

TEST_F(DialogTest, AnEmptyListEndsWithTheBarsAt100And0AndWritesNothing) {
    control<QProgressBar>("overall")->setValue(30);
    control<QProgressBar>("current")->setValue(60);
    convert({}, path("out"));
    EXPECT_EQ(bar("overall"), 100);
    EXPECT_EQ(bar("current"), 0);
    EXPECT_TRUE(QDir(path("out")).isEmpty());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(DialogTest, TheButtonReadsStopDuringARunAndDecodeAfter) {
    dialog->addFiles({write("a.mp2", LayerTwoStereo.frames(20))});
    button("decode")->click();
    EXPECT_EQ(button("decode")->text(), "&Stop");
    EXPECT_TRUE(button("decode")->isEnabled());
    expectControlsEnabled(false);
    ASSERT_TRUE(waitUntilIdle());
    expectControlsEnabled(true);
    EXPECT_TRUE(readWav(path("a.wav")).valid);
}

TEST_F(DialogTest, TheCloseBoxIsRefusedDuringARun) {
    dialog->addFiles({write("a.mp2", LayerTwoMono.frames(200))});
    dialog->show();
    button("decode")->click();
    dialog->close();
    EXPECT_TRUE(dialog->isVisible());
    button("decode")->click();
    ASSERT_TRUE(waitUntilIdle());
    dialog->close();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(DialogTest, StopEndsTheRunAfterTheCurrentFile) {
    // A first file long enough to be under way when the stop comes.
    const QString first = write("a.mp2", LayerTwoMono.frames(20000));
    const QString second = write("b.mp2", LayerTwoStereo.frames(5));
    const QString third = write("c.mp2", LayerTwoStereo.frames(5));
    dialog->addFiles({first, second, third});
    button("decode")->click();
    button("decode")->click();
    // The dialog is idle at once; a new run waits until the worker has finished its file.
    EXPECT_EQ(button("decode")->text(), "&Decode");
    expectControlsEnabled(true);
    EXPECT_FALSE(button("decode")->isEnabled());
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_FALSE(QFile::exists(path("b.wav")));
    EXPECT_FALSE(QFile::exists(path("c.wav")));
    // The file under way when the stop came is not finished, so it gets no WAV.
    EXPECT_FALSE(QFile::exists(path("a.wav")));
    EXPECT_EQ(bar("overall"), 100);
    EXPECT_EQ(bar("current"), 0);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(DialogTest, AMissingFileGivesOneMessageAndLeavesNothingBehind) {
    const QString before = write("a.mp2", LayerTwoStereo.frames(6));
    const QString after = write("c.mp2", LayerTwoStereo.frames(6));
    // A WAV file of the missing file's name is not the run's to destroy.
    write("b-missing.wav", "kept");
    convert({after, path("b-missing.mp3"), before});
    EXPECT_EQ(messages, QStringList({"Cannot open input (no such file)\n"}));
    EXPECT_EQ(read(path("b-missing.wav")), "kept");
    EXPECT_TRUE(readWav(path("a.wav")).valid);
    EXPECT_TRUE(readWav(path("c.wav")).valid);

    messages.clear();
    convert({}, path("out"));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_FALSE(QFile::exists(path("out/b-missing.wav")));
    EXPECT_EQ(QDir(path("out")).entryList(QDir::Files), QStringList({"a.wav", "c.wav"}));
}

TEST_F(DialogTest, AFileIsNotConvertedOntoItself) {
    const QByteArray stream = LayerTwoStereo.frames(6);
    const QString itself = write("song.wav", stream);
    const QString next = write("tune.mp2", stream);
    convert({itself, next});
    EXPECT_EQ(messages, QStringList({"Cannot convert " + itself + " onto itself"}));
    EXPECT_EQ(read(itself), stream);
    EXPECT_TRUE(readWav(path("tune.wav")).valid);

    // The same through the output folder: the source's own folder, typed another way.
    messages.clear();
    button("clear")->click();
    convert({itself}, temp.path() + "/./");
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(read(itself), stream);
}

TEST_F(DialogTest, AWriteFailureLeavesNoWavAndTheRunGoesOn) {
    const QString large = write("large.mp2", LayerTwoStereo.frames(200));
    const QString small = write("small.mp3", LayerThreeMono.frames(20));
    {
        const FileSizeLimit limit(100000);
        convert({large, small});
    }
    EXPECT_EQ(messages, QStringList({"Cannot write output (write failed)"}));
    EXPECT_FALSE(QFile::exists(path("large.wav")));
    EXPECT_EQ(readWav(path("small.wav")).data.size(), LayerThreeMono.pcmBytes(20));
}

TEST_F(DialogTest, AnOutputThatCannotBeCreatedEndsTheProgram) {
    const QString file = write("a.mp2", LayerTwoStereo.frames(4));
    const QString folder = path("missing/out");
    QSignalSpy end(dialog.get(), &MainDialog::endRequested);
    convert({file, write("b.mp2", LayerTwoStereo.frames(4))}, folder);
    ASSERT_EQ(end.size(), 1);
    EXPECT_EQ(end.first().first().toInt(), 1);
    EXPECT_EQ(messages, QStringList({"Cannot instanciate  output (open failed) -output=wav:" + folder + "/a.wav\n"}));
    EXPECT_EQ(read(file), LayerTwoStereo.frames(4));
}

TEST_F(DialogTest, TheOutputFolderSurvivesARestart) {
    EXPECT_EQ(control<QLineEdit>("folder")->text(), "");
    control<QLineEdit>("folder")->setText("/srv/converted/");
    dialog.reset();
    const QString saved = QString::fromUtf8(read(settingsFile()));
    EXPECT_TRUE(saved.startsWith("[General]\n")) << qPrintable(saved);
    EXPECT_TRUE(saved.contains("\noutput=/srv/converted/\n")) << qPrintable(saved);
    dialog = newDialog();
    EXPECT_EQ(control<QLineEdit>("folder")->text(), "/srv/converted/");
}

TEST_F(DialogTest, ACommandLineFileIsConvertedIntoTheSavedFolderAndEndsWith0) {
    restartWithSavedFolder(path("saved"));
    const QString file = write("song.mp3", LayerThreeMono.frames(12));
    EXPECT_EQ(convertAndEnd(file), 0);
    EXPECT_EQ(dialog->files(), QStringList({file}));
    EXPECT_EQ(readWav(path("saved/song.wav")).data.size(), LayerThreeMono.pcmBytes(12));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(DialogTest, AMissingCommandLineFileEndsWith1) {
    EXPECT_EQ(convertAndEnd(path("absent.mp3")), 1);
    EXPECT_EQ(messages, QStringList({"Cannot open input (no such file)\n"}));
    EXPECT_FALSE(QFile::exists(path("absent.wav")));
}

TEST_F(DialogTest, AWriteFailureOnTheCommandLineEndsWith1) {
    const QString file = write("large.mp2", LayerTwoStereo.frames(200));
    const FileSizeLimit limit(100000);
    EXPECT_EQ(convertAndEnd(file), 1);
    EXPECT_EQ(messages, QStringList({"Cannot write output (write failed)"}));
}

TEST_F(DialogTest, TheEndWaitsUntilTheMessageIsRead) {
    QSignalSpy end(dialog.get(), &MainDialog::endRequested);
    bool endedWhileShown = true;
    dialog->setMessageFunction([&](const QString&) {
        // The run ends while the message is up, as it would behind a message box.
        EXPECT_TRUE(waitUntilIdle());
        endedWhileShown = !end.isEmpty();
    });
    dialog->convertAndEnd(path("absent.mp3"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !end.isEmpty(); }, RunTimeoutMs));
    EXPECT_FALSE(endedWhileShown);
    EXPECT_EQ(end.first().first().toInt(), 1);
}

}  // namespace
