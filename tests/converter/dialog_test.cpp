// The Tunepress dialog with its worker, driven through its controls: the list, the choosers,
// runs over generated and conformance streams, stop, close, failures and their report, the
// setting, and the command-line run.
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QThread>
#include <QCheckBox>
#include <QDesktopServices>
#include <QTreeWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>

#include "about.h"
#include "dialog.h"
#include "file_size_limit.h"
#include "support.h"

namespace {

// Takes the URLs the program asks the desktop to open, instead of the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    explicit UrlCatcher(QList<QUrl>& opened) : m_opened(opened) { QDesktopServices::setUrlHandler("file", this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler("file"); }

public slots:
    void open(const QUrl& url) { m_opened << url; }

private:
    QList<QUrl>& m_opened;
};

// Hands the next modal dialog of its kind to `answer` once it is open, from inside its own loop.
template <typename Box>
void answerModal(std::function<void(Box*)> answer) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        auto* box = qobject_cast<Box*>(QApplication::activeModalWidget());
        if (!box) return;
        poll->deleteLater();
        poll->stop();
        answer(box);
    });
    poll->start(10);
}

// Answers the next question with `button` and keeps its text in `asked`.
void answerQuestion(QMessageBox::StandardButton button, QString& asked) {
    answerModal<QMessageBox>([button, &asked](QMessageBox* box) {
        asked = box->text();
        box->button(button)->click();
    });
}

class DialogTest : public ConverterTest {
protected:
    std::unique_ptr<MainDialog> dialog;
    QList<PlannedFile> clashes;  // the questions asked, each given `clashAnswer`
    ClashAnswer clashAnswer = ClashAnswer::Overwrite;

    void SetUp() override {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path("settings"));
        dialog = newDialog();
    }

    std::unique_ptr<MainDialog> newDialog() {
        auto made = std::make_unique<MainDialog>();
        made->setClashFunction([this](const PlannedFile& file) {
            clashes << file;
            return ClashDecision{clashAnswer, false};
        });
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
    QString report() const { return control<QPlainTextEdit>("report")->toPlainText(); }
    QString status(int row) const { return control<QTreeWidget>("files")->topLevelItem(row)->text(2); }

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
        for (const char* name : {"files", "add", "addFolder", "clear", "folder", "pattern", "gapless"})
            EXPECT_EQ(control<QWidget>(name)->isEnabled(), enabled) << name;
    }

    // Converts `files` as the command line does and returns the status the program ends with.
    int convertAndEnd(const QStringList& files) {
        QSignalSpy end(dialog.get(), &MainDialog::endRequested);
        dialog->convertAndEnd(files);
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
    for (const char* text : {"Mp3 files to decode:", "Output &folder:", "&Names from tags:", "Overall progress:",
                             "Current file:"})
        EXPECT_TRUE(labels.contains(text)) << text;
    EXPECT_EQ(label("status"), "1. Click \"Add\" and select all the mp3 files to decode");
    EXPECT_EQ(label("stream"), "2. Click \"Decode\" to start the process");
    const std::pair<const char*, const char*> buttons[] = {
        {"add", "&Add"},         {"addFolder", "Add f&older..."}, {"clear", "C&lear"},
        {"browse", "Bro&wse..."}, {"decode", "&Decode"},          {"close", "&Close"},
        {"about", "A&bout..."},  {"openOutput", "O&pen output folder"}};
    for (const auto& [name, text] : buttons) EXPECT_EQ(button(name)->text(), text);
    EXPECT_TRUE(button("decode")->isDefault());
    EXPECT_FALSE(button("openOutput")->isEnabled());
    auto* gapless = control<QCheckBox>("gapless");
    EXPECT_EQ(gapless->text(), "&Trim encoder delay and padding (gapless)");
    EXPECT_TRUE(gapless->isChecked());
    for (const char* name : {"overall", "current"}) {
        EXPECT_EQ(control<QProgressBar>(name)->minimum(), 0);
        EXPECT_EQ(control<QProgressBar>(name)->maximum(), 100);
    }
    EXPECT_FALSE(dialog->windowIcon().isNull());
}

// Alt and a letter reach one control each, "&Stop" and the fields of the labels included.
TEST_F(DialogTest, EveryMnemonicIsUnique) {
    QStringList texts{"&Stop"};
    for (const QAbstractButton* control : dialog->findChildren<QAbstractButton*>()) texts << control->text();
    for (const QLabel* label : dialog->findChildren<QLabel*>())
        if (label->buddy()) texts << label->text();
    QSet<QChar> letters;
    for (const QString& text : texts) {
        const qsizetype at = text.indexOf(u'&');
        if (at < 0) continue;
        EXPECT_FALSE(letters.contains(text[at + 1].toLower())) << qPrintable(text);
        letters.insert(text[at + 1].toLower());
    }
    EXPECT_GE(letters.size(), 12);
}

TEST_F(DialogTest, TheWindowGrowsAndTheListWithIt) {
    dialog->show();
    auto* list = control<QTreeWidget>("files");
    const QSize small = dialog->size();
    const int listHeight = list->height();
    EXPECT_GT(dialog->maximumSize().width(), small.width());
    dialog->resize(small + QSize(300, 200));
    QApplication::processEvents();
    EXPECT_GT(list->height(), listHeight + 100);
    EXPECT_GT(list->width(), 250);
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
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
    dialog->addFiles({"/music/b.mp3", "/music/a.mp3", "/other/C.mp2"});
    dialog->addFiles({"/music/a.mp3"});
    const QStringList sorted{"/music/a.mp3", "/music/a.mp3", "/music/b.mp3", "/other/C.mp2"};
    EXPECT_EQ(dialog->files(), sorted);
    auto* list = control<QTreeWidget>("files");
    ASSERT_EQ(list->topLevelItemCount(), 4);
    // The name is shown, the whole path on hover.
    EXPECT_EQ(list->topLevelItem(3)->text(0), "C.mp2");
    EXPECT_EQ(list->topLevelItem(3)->toolTip(0), "/other/C.mp2");
    button("clear")->click();
    EXPECT_TRUE(dialog->files().isEmpty());
}

TEST_F(DialogTest, NumbersInNamesSortAsNumbers) {
    dialog->addFiles({"/m/Track 10.mp3", "/m/Track 2.mp3", "/m/track 1.mp3", "/m/Track 100.mp3", "/m/Track 11.mp3"});
    EXPECT_EQ(dialog->files(), QStringList({"/m/track 1.mp3", "/m/Track 2.mp3", "/m/Track 10.mp3", "/m/Track 11.mp3",
                                            "/m/Track 100.mp3"}));
}

TEST_F(DialogTest, FilesAndFoldersDroppedOnTheWindowAreAdded) {
    const QString single = write("single.mp3", {});
    QDir(temp.path()).mkpath("album/cd2");
    const QString first = write("album/01.mp3", {});
    const QString second = write("album/cd2/02.MP2", {});
    write("album/cover.jpg", {});
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(single), QUrl::fromLocalFile(path("album")), QUrl("https://example.org/z.mp3"),
                  QUrl::fromLocalFile(write("cover.png", {})), QUrl::fromLocalFile(write("notes.txt", {}))});

    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog.get(), &drop);
    // Files elsewhere than on this computer are left out, and so are files that are no MPEG audio.
    EXPECT_EQ(dialog->files(), QStringList({first, second, single}));
    EXPECT_EQ(report(), "Left out 2 files that are not MPEG audio (.mp1, .mp2, .mp3, .mpa, .mpg)");
}

TEST_F(DialogTest, DeleteAndTheContextMenuRemoveTheSelectedFiles) {
    dialog->addFiles({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3", "/m/d.mp3"});
    auto* list = control<QTreeWidget>("files");
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(dialog->files(), QStringList({"/m/b.mp3", "/m/d.mp3"}));
    EXPECT_EQ(list->actions().first()->text(), "&Remove");
    EXPECT_EQ(list->contextMenuPolicy(), Qt::ActionsContextMenu);
    list->topLevelItem(1)->setSelected(true);
    list->actions().first()->trigger();
    EXPECT_EQ(dialog->files(), QStringList({"/m/b.mp3"}));
}

TEST_F(DialogTest, TheFileChooserAddsEveryChosenFileAndACancelAddsNone) {
    write("b.mp3", LayerThreeMono.frames(2));
    write("a.mp2", LayerTwoStereo.frames(2));
    QStringList filters;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    answerModal<QFileDialog>([&](QFileDialog* chooser) {
        filters = chooser->nameFilters();
        mode = chooser->fileMode();
        chooser->setDirectory(temp.path());
        chooser->findChild<QLineEdit*>("fileNameEdit")->setText("\"b.mp3\" \"a.mp2\"");
        static_cast<QDialog*>(chooser)->accept();  // as its Open button does
    });
    button("add")->click();
    EXPECT_EQ(filters, QStringList({"MPEG Audio Files (*.mp1 *.mp2 *.mp3 *.mpa *.mpg)", "All Files (*)"}));
    EXPECT_EQ(mode, QFileDialog::ExistingFiles);
    EXPECT_EQ(dialog->files(), QStringList({path("a.mp2"), path("b.mp3")}));

    answerModal<QFileDialog>([](QFileDialog* chooser) { chooser->reject(); });
    button("add")->click();
    EXPECT_EQ(dialog->files(), QStringList({path("a.mp2"), path("b.mp3")}));
}

TEST_F(DialogTest, TheFolderChooserSetsTheFolderAndACancelKeepsIt) {
    auto* folder = control<QLineEdit>("folder");
    folder->setText("/before");
    QString title;
    answerModal<QFileDialog>([&](QFileDialog* chooser) {
        title = chooser->windowTitle();
        chooser->reject();
    });
    button("browse")->click();
    EXPECT_EQ(title, "Choose folder");
    EXPECT_EQ(folder->text(), "/before");

    QDir(temp.path()).mkdir("chosen");
    answerModal<QFileDialog>([&](QFileDialog* chooser) {
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

    EXPECT_EQ(report(), "");
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
    EXPECT_EQ(label("status"), "3 converted");
    // The stream line is the one of the file shown last; which file that is depends on
    // how the jobs ran side by side.
    const QMap<QString, QString> streams{{one, "MPEG 1, layer II, 64 kbps, 48000 Hz, Stereo, 0 sec"},
                                         {six, "MPEG 1, layer I, 32 kbps, 44100 Hz, Stereo, 0 sec"},
                                         {ten, "MPEG 2, layer III, 32 kbps, 22050 Hz, Mono, 13 sec"}};
    const auto* list = control<QTreeWidget>("files");
    EXPECT_EQ(label("stream"), streams.value(dialog->files().value(list->indexOfTopLevelItem(list->currentItem()))));
    EXPECT_TRUE(button("openOutput")->isEnabled());
}

TEST_F(DialogTest, EachFileShowsItsOutcomeAndFailuresAreListedOnce) {
    const QString good = write("a.mp2", LayerTwoStereo.frames(40));
    const QString text = write("b.mp3", "Not a song, only notes.\n");
    const QString missing = path("c.mp3");
    convert({good, text, missing});
    EXPECT_EQ(status(0), "Done (0:01)");
    EXPECT_EQ(status(1), "Failed: No MPEG audio");
    EXPECT_EQ(status(2), "Failed: Cannot open input (no such file)");
    EXPECT_EQ(label("status"), "1 converted, 2 failed");
    EXPECT_EQ(report(), text + ": No MPEG audio\n" + missing + ": Cannot open input (no such file)");
    EXPECT_TRUE(control<QPlainTextEdit>("report")->isVisibleTo(dialog.get()));
    // The bar counts the files converted.
    EXPECT_EQ(bar("overall"), 33);
    EXPECT_TRUE(readWav(path("a.wav")).valid);
    EXPECT_FALSE(QFile::exists(path("b.wav")));
    EXPECT_FALSE(QFile::exists(path("c.wav")));
}

TEST_F(DialogTest, AFolderKeepsItsTreeSoAlbumsStayApart) {
    QDir().mkpath(path("music/Album A"));
    QDir().mkpath(path("music/Album B/CD 2"));
    const QString single = write("01 - Intro.mp3", LayerThreeMono.frames(4));
    write("music/Album A/01 - Intro.mp2", LayerTwoStereo.frames(4));
    write("music/Album B/CD 2/01 - Intro.mp2", LayerTwoStereo.frames(6));
    convert({path("music/Album A"), path("music/Album B"), single}, path("out"));
    EXPECT_TRUE(clashes.isEmpty());
    EXPECT_EQ(readWav(path("out/01 - Intro.wav")).data.size(), LayerThreeMono.pcmBytes(4));
    EXPECT_EQ(readWav(path("out/Album A/01 - Intro.wav")).data.size(), LayerTwoStereo.pcmBytes(4));
    EXPECT_EQ(readWav(path("out/Album B/CD 2/01 - Intro.wav")).data.size(), LayerTwoStereo.pcmBytes(6));
    EXPECT_EQ(control<QTreeWidget>("files")->topLevelItem(2)->text(1), "Album B/CD 2/01 - Intro.wav");
}

TEST_F(DialogTest, ThePatternNamesOutputsFromTagsAndAFileWithoutThemKeepsItsName) {
    const QByteArray tag = id3Tag({{"TPE1", "AC/DC"}, {"TALB", "Live"}, {"TRCK", "3/12"}, {"TIT2", "T.N.T."}});
    const QString tagged = write("tagged.mp2", tag + LayerTwoStereo.frames(4));
    const QString untagged = write("untagged.mp2", LayerTwoStereo.frames(4));
    control<QLineEdit>("pattern")->setText("{artist}/{album}/{track:02} - {title}");
    dialog->addFiles({tagged, untagged});
    EXPECT_TRUE(QTest::qWaitFor([&] { return label("preview") == "First file: AC_DC/Live/03 - T.N.T..wav"; }))
        << qPrintable(label("preview"));
    convert({}, path("out"));
    EXPECT_EQ(report(), "");
    EXPECT_TRUE(QFile::exists(path("out/AC_DC/Live/03 - T.N.T..wav")));
    EXPECT_TRUE(readWav(path("out/untagged.wav")).valid);
}

TEST_F(DialogTest, AFileNamedInLatin1IsListedAndConvertedUnderItsOwnBytes) {
    QDir().mkpath(path("music"));
    const QByteArray name = QFile::encodeName(path("music")) + "/Beyonc\xe9.mp2";
    {
        QFile file(path("music/a.mp2"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(LayerTwoStereo.frames(4));
    }
    ASSERT_EQ(::rename(QFile::encodeName(path("music/a.mp2")).constData(), name.constData()), 0);
    convert({path("music")}, path("out"));
    EXPECT_EQ(control<QTreeWidget>("files")->topLevelItem(0)->text(0), QStringLiteral("Beyonc\uFFFD.mp2"));
    EXPECT_EQ(report(), "");
    struct stat status {};
    EXPECT_EQ(::stat(QFile::encodeName(path("out/music")) + "/Beyonc\xe9.wav", &status), 0);
    EXPECT_EQ(status.st_size, 44 + LayerTwoStereo.pcmBytes(4));
}

TEST_F(DialogTest, EscapeOnTheClashQuestionConvertsNothing) {
    dialog = std::make_unique<MainDialog>();  // asking in its own message box
    const QString other = write("other.mp2", LayerTwoStereo.frames(4));
    const QString song = write("song.mp2", LayerTwoStereo.frames(4));
    write("song.wav", "earlier");
    QString defaultAnswer;
    answerModal<QMessageBox>([&](QMessageBox* box) {
        defaultAnswer = box->defaultButton()->text();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    dialog->addFiles({other, song});
    button("decode")->click();
    EXPECT_EQ(defaultAnswer, "&Skip");
    EXPECT_TRUE(idle());
    EXPECT_EQ(label("status"), "Cancelled: nothing was converted");
    EXPECT_EQ(read(path("song.wav")), "earlier");
    EXPECT_FALSE(QFile::exists(path("other.wav")));
}

TEST_F(DialogTest, TheRepeatsOfAHeldEnterStartNothing) {
    dialog->addFiles({write("a.mp2", LayerTwoStereo.frames(4))});
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(button("decode"), &repeat);
    EXPECT_TRUE(idle());
    QTest::keyClick(button("decode"), Qt::Key_Return);
    EXPECT_FALSE(idle());
    ASSERT_TRUE(waitUntilIdle());
}

TEST_F(DialogTest, TheListRetriesTheFailedFilesAndRemovesThoseDone) {
    convert({write("a.mp2", LayerTwoStereo.frames(4)), path("b.mp2")});
    ASSERT_EQ(status(1), "Failed: Cannot open input (no such file)");
    write("b.mp2", LayerTwoStereo.frames(4));
    const QList<QAction*> actions = control<QTreeWidget>("files")->actions();
    ASSERT_EQ(actions.size(), 3);
    actions[1]->trigger();  // Retry failed
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(label("status"), "1 converted");
    EXPECT_EQ(status(1), "Done (0:00)");
    actions[2]->trigger();  // Remove done
    EXPECT_TRUE(dialog->files().isEmpty());
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
    control<QCheckBox>("gapless")->setChecked(false);
    convert(files);
    EXPECT_EQ(report(), "");
    for (const auto& [name, file] : streams) {
        const ConformanceStream stream = conformanceStream(name);
        const Wav wav = readWav(wavPathFor(singleFile(path(file)), QString()));
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
    EXPECT_EQ(report(), "");
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
    EXPECT_EQ(report(), "");
}

TEST_F(DialogTest, TheReportListsFailuresInTheOrderOfTheList) {
    if (QThread::idealThreadCount() < 2) GTEST_SKIP() << "one file at a time: they end in the order of the list";
    Fifo first(path("a.mp3"));
    if (!first.made()) GTEST_SKIP() << "no FIFO here";
    first.feed("Not a song, only notes.\n");
    dialog->addFiles({path("a.mp3"), path("b.mp3")});
    button("decode")->click();
    // The second file fails first, while the first waits for the rest of its input.
    ASSERT_TRUE(QTest::qWaitFor([&] { return status(1).startsWith("Failed"); }, RunTimeoutMs));
    first.closeWriter();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(report(), path("a.mp3") + ": No MPEG audio\n" + path("b.mp3") + ": Cannot open input (no such file)");
}

TEST_F(DialogTest, CloseDuringARunAsksAndStopsOnYes) {
    Fifo input(path("a.mp2"));
    if (!input.made()) GTEST_SKIP() << "no FIFO here";
    input.feed(LayerTwoStereo.frames(100));
    dialog->addFiles({path("a.mp2")});
    dialog->show();
    button("decode")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return status(0).startsWith("Converting"); }, RunTimeoutMs));
    QString asked;
    answerQuestion(QMessageBox::No, asked);
    dialog->close();
    EXPECT_EQ(asked, "Stop and close?");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(idle());
    answerQuestion(QMessageBox::Yes, asked);
    button("close")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(label("status"), "0 converted, 1 stopped");
    // The job comes back with the end of its input and takes its part file with it.
    input.closeWriter();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return QDir(temp.path()).entryList({".tunepress-*"}, QDir::Files | QDir::Hidden).isEmpty(); },
        RunTimeoutMs));
    EXPECT_FALSE(QFile::exists(path("a.wav")));
}

TEST_F(DialogTest, StopDropsTheFilesUnderWayAndKeepsEarlierWavs) {
    // Both inputs wait for more bytes, so neither can end before the stop, however fast decoding is.
    Fifo first(path("a.mp2")), second(path("b.mp2"));
    if (!first.made() || !second.made()) GTEST_SKIP() << "no FIFO here";
    first.feed(LayerTwoStereo.frames(100));
    second.feed(LayerTwoStereo.frames(100));
    write("a.wav", "kept");
    dialog->addFiles({path("a.mp2"), path("b.mp2")});
    button("decode")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return status(0).startsWith("Converting"); }, RunTimeoutMs));
    button("decode")->click();
    // The dialog is idle at once, and nothing of the stopped files is left.
    EXPECT_TRUE(idle());
    expectControlsEnabled(true);
    EXPECT_EQ(status(0), "Stopped");
    EXPECT_EQ(label("status"), "0 converted, 2 stopped");
    EXPECT_LT(bar("overall"), 100);
    EXPECT_EQ(report(), "");
    // The jobs come back with the end of their input and take their temporary files with them.
    first.closeWriter();
    second.closeWriter();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return QDir(temp.path()).entryList({".tunepress-*"}, QDir::Files | QDir::Hidden).isEmpty(); },
        RunTimeoutMs));
    EXPECT_EQ(read(path("a.wav")), "kept");
    EXPECT_FALSE(QFile::exists(path("b.wav")));
}

TEST_F(DialogTest, AnOutputInTheWayIsOverwrittenSkippedOrKeptAsAnswered) {
    const QString song = write("song.mp2", LayerTwoStereo.frames(6));
    write("song.wav", "earlier");
    clashAnswer = ClashAnswer::Skip;
    convert({song});
    ASSERT_EQ(clashes.size(), 1);
    EXPECT_EQ(read(path("song.wav")), "earlier");
    EXPECT_EQ(status(0), "Skipped");

    clashAnswer = ClashAnswer::KeepBoth;
    button("decode")->click();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(read(path("song.wav")), "earlier");
    EXPECT_TRUE(readWav(path("song (2).wav")).valid);

    clashAnswer = ClashAnswer::Overwrite;
    button("decode")->click();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_TRUE(readWav(path("song.wav")).valid);
    EXPECT_FALSE(QFile::exists(path("song (3).wav")));
    EXPECT_EQ(clashes.size(), 3);
}

TEST_F(DialogTest, AnOutputFolderThatCannotBeMadeKeepsTheList) {
    const QString file = write("a.mp2", LayerTwoStereo.frames(4));
    write("plain", "a file, not a folder");
    QSignalSpy end(dialog.get(), &MainDialog::endRequested);
    dialog->addFiles({file});
    control<QLineEdit>("folder")->setText(path("plain/out"));
    button("decode")->click();
    EXPECT_TRUE(idle());
    EXPECT_TRUE(end.isEmpty());
    EXPECT_TRUE(report().startsWith("Cannot create the output folder " + path("plain/out"))) << qPrintable(report());
    EXPECT_EQ(dialog->files(), QStringList({file}));
    EXPECT_FALSE(QFile::exists(path("a.wav")));
}

TEST_F(DialogTest, TheSettingsAndTheWindowSurviveARestart) {
    EXPECT_EQ(control<QLineEdit>("folder")->text(), "");
    control<QLineEdit>("folder")->setText("/srv/converted/");
    control<QLineEdit>("pattern")->setText("{album}/{title}");
    control<QCheckBox>("gapless")->setChecked(false);
    dialog->show();
    const QRect place(dialog->geometry().topLeft() + QPoint(7, 9), dialog->size() + QSize(11, 13));
    dialog->setGeometry(place);
    dialog->close();
    dialog.reset();
    const QString saved = QString::fromUtf8(read(settingsFile()));
    EXPECT_TRUE(saved.startsWith("[General]\n")) << qPrintable(saved);
    EXPECT_TRUE(saved.contains("\noutput=/srv/converted/\n")) << qPrintable(saved);
    dialog = newDialog();
    EXPECT_EQ(control<QLineEdit>("folder")->text(), "/srv/converted/");
    EXPECT_EQ(control<QLineEdit>("pattern")->text(), "{album}/{title}");
    EXPECT_FALSE(control<QCheckBox>("gapless")->isChecked());
    EXPECT_EQ(dialog->geometry(), place);
}

TEST_F(DialogTest, OpenOutputFolderShowsTheFolderOfTheRun) {
    QList<QUrl> opened;
    UrlCatcher catcher(opened);
    convert({write("a.mp2", LayerTwoStereo.frames(4))}, path("out"));
    button("openOutput")->click();
    EXPECT_EQ(opened, QList<QUrl>({QUrl::fromLocalFile(path("out"))}));
}

TEST_F(DialogTest, CommandLineFilesAreConvertedIntoTheSavedFolderWithoutOverwriting) {
    restartWithSavedFolder(path("saved"));
    const QString song = write("song.mp3", LayerThreeMono.frames(12));
    const QString other = write("other.mp2", LayerTwoStereo.frames(6));
    QDir().mkpath(path("saved"));
    write("saved/song.wav", "earlier");
    EXPECT_EQ(convertAndEnd({song, other}), 0);
    EXPECT_EQ(dialog->files(), QStringList({other, song}));
    EXPECT_EQ(read(path("saved/song.wav")), "earlier");
    EXPECT_EQ(readWav(path("saved/song (2).wav")).data.size(), LayerThreeMono.pcmBytes(12));
    EXPECT_TRUE(readWav(path("saved/other.wav")).valid);
    EXPECT_EQ(report(), "");
}

TEST_F(DialogTest, ACommandLineFileThatIsNotConvertedEndsWith1) {
    EXPECT_EQ(convertAndEnd({path("absent.mp3")}), 1);
    EXPECT_TRUE(report().startsWith(path("absent.mp3") + ": ")) << qPrintable(report());
    EXPECT_FALSE(QFile::exists(path("absent.wav")));
}

TEST_F(DialogTest, AWriteFailureLeavesNoWavAndTheRunGoesOn) {
    const QString large = write("large.mp2", LayerTwoStereo.frames(200));
    const QString small = write("small.mp3", LayerThreeMono.frames(20));
    {
        const FileSizeLimit limit(100000);
        convert({large, small});
    }
    EXPECT_TRUE(report().startsWith(large + ": ")) << qPrintable(report());
    EXPECT_FALSE(QFile::exists(path("large.wav")));
    EXPECT_EQ(readWav(path("small.wav")).data.size(), LayerThreeMono.pcmBytes(20));
}

}  // namespace

#include "dialog_test.moc"
