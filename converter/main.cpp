// tunepress: the dialog, or with a file named on the command line, its conversion at once.
#include <QApplication>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "about.h"
#include "dialog.h"
#include "icon.h"
#include "native_path.h"
#include "signal_watcher.h"
#include "vortax.h"

namespace {

constexpr const char* Usage =
    "usage: tunepress [FILE|FOLDER ...]\n"
    "       tunepress --screenshot PATH [FILE|FOLDER ...]\n"
    "\n"
    "Converts MPEG audio files (layers I, II and III) to WAV files. With files or folders\n"
    "the dialog converts them (and the MPEG audio files below the folders, their tree kept)\n"
    "at once into the saved output folder, named by the saved pattern if there is one, never\n"
    "over an existing file, and names each file it could not convert or left out on standard\n"
    "error. When every file was converted the program ends with exit status 0; otherwise\n"
    "with 1, once the window with the report is closed (at once on the offscreen and minimal\n"
    "platforms). SIGINT, SIGTERM and SIGHUP stop the run and end it.\n"
    "\n"
    "  --screenshot PATH  save a picture of the dialog to PATH (PNG) once it is shown, or after\n"
    "                     converting the files given, and end\n"
    "  --                 the arguments that follow are files, even those that begin with '-'\n"
    "  --help             show this text\n"
    "  --version          show the versions of Tunepress and of its decoding engine\n";

struct Options {
    QStringList files;
    QString screenshot;
};

int refuse(const std::string& reason) {
    std::fprintf(stderr, "tunepress: %s\n", reason.c_str());
    return 2;
}

// Qt gives up on a platform it cannot open with a fatal message and an abort: without a
// display that is no crash, and one line says it. The plugins' warnings before it say the
// same at length, and are left out.
void refuseWithoutDisplay(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type != QtFatalMsg) return;
    std::_Exit(refuse("no display to show the window on (set DISPLAY or WAYLAND_DISPLAY, or QT_QPA_PLATFORM)"));
}

// On the offscreen and minimal platforms nobody sees the window, let alone closes it.
bool nobodyWatches() {
    const QString platform = QGuiApplication::platformName();
    return platform == u"offscreen" || platform == u"minimal";
}

// Ends the program as `signal` would have without a handler, now that the run is cleaned
// up: the shell that started it sees why it ended.
void endBy(int signal) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// The dialog on the event loop until the program ends; its exit status, and the signal
// that ended it, if one did.
int runDialog(int& argc, char* argv[], const Options& options, int& endingSignal) {
    const QtMessageHandler qtHandler = qInstallMessageHandler(refuseWithoutDisplay);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    app.setWindowIcon(tunepressIcon());
    app.setDesktopFileName(QStringLiteral("tunepress"));
    // Made before the dialog so that it still catches signals while the dialog's jobs end.
    SignalWatcher watcher;
    MainDialog dialog;
    dialog.show();
    // The program ends as the dialog says, and with the status of its command-line run even
    // when the window is closed after it.
    app.setQuitOnLastWindowClosed(false);
    int status = 0;
    QObject::connect(&dialog, &QDialog::finished, &app, [&] { QCoreApplication::exit(status); });
    QObject::connect(&dialog, &MainDialog::reported, [](const QString& line) {
        std::fprintf(stderr, "tunepress: %s\n", nativePath(line).constData());
    });
    if (options.screenshot.isEmpty()) {
        // A file not converted keeps the window and its report up until the reader closes it.
        QObject::connect(&dialog, &MainDialog::endRequested, &app, [&](int ended) {
            status = ended;
            if (status == 0 || nobodyWatches()) QCoreApplication::exit(status);
        });
    } else {
        // The picture shows the dialog as the run left it.
        QObject::connect(&dialog, &MainDialog::endRequested, &app, [&](int ended) {
            status = ended;
            if (!dialog.grab().save(options.screenshot)) {
                std::fprintf(stderr, "tunepress: cannot save %s\n", qPrintable(options.screenshot));
                status = 1;
            }
            QCoreApplication::exit(status);
        });
    }
    QObject::connect(&watcher, &SignalWatcher::signalled, &app, [&](int signal) {
        endingSignal = signal;
        dialog.stop();
        QCoreApplication::exit(128 + signal);
    });
    // From the event loop, which hears an end asked for at once (an output folder that cannot
    // be used) as well as any other.
    QTimer::singleShot(0, &dialog, [&] {
        if (!options.files.isEmpty())
            dialog.convertAndEnd(options.files);
        else if (!options.screenshot.isEmpty())
            emit dialog.endRequested(0);
    });
    const int ended = app.exec();
    // An input that never answers (a pipe nobody writes to, a hung network file) keeps its
    // thread; the program ends without it rather than hang.
    if (dialog.hasStuckInputs()) {
        Converter::removeAbandonedFiles();
        if (endingSignal != 0) endBy(endingSignal);
        std::_Exit(ended);
    }
    return ended;
}

}  // namespace

int main(int argc, char* argv[]) {
    Options options;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (optionsEnded) {
            options.files << pathFromNative(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("tunepress %s, VORTAX engine %s\n", TunepressVersion,
                        engine_get_version(nullptr, nullptr, nullptr));
            return 0;
        }
        if (argument == "--screenshot") {
            if (i + 1 == argc) return refuse("--screenshot needs a file name");
            options.screenshot = QString::fromLocal8Bit(argv[++i]);
        } else if (argument.size() > 1 && argument[0] == '-') {
            return refuse("unknown option " + argument);
        } else {
            options.files << pathFromNative(argument);
        }
    }

    int endingSignal = 0;
    const int status = runDialog(argc, argv, options, endingSignal);
    if (endingSignal != 0) endBy(endingSignal);
    return status;
}
