// tunepress: the dialog, or with a file named on the command line, its conversion at once.
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "about.h"
#include "dialog.h"
#include "icon.h"
#include "vortax.h"

namespace {

constexpr const char* Usage =
    "usage: tunepress [FILE|FOLDER ...]\n"
    "       tunepress --screenshot PATH [FILE|FOLDER ...]\n"
    "\n"
    "Converts MPEG audio files (layers I, II and III) to WAV files. With files or folders\n"
    "the dialog converts them (and the MPEG audio files below the folders) at once into the\n"
    "saved output folder, never over an existing file, and the program ends: with exit\n"
    "status 0 when every file was converted, 1 when one was not.\n"
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

}  // namespace

int main(int argc, char* argv[]) {
    Options options;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (optionsEnded) {
            options.files << QString::fromLocal8Bit(argument);
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
            options.files << QString::fromLocal8Bit(argument);
        }
    }

    QApplication app(argc, argv);
    app.setWindowIcon(tunepressIcon());
    app.setDesktopFileName(QStringLiteral("tunepress"));
    MainDialog dialog;
    dialog.show();
    if (options.screenshot.isEmpty()) {
        QObject::connect(&dialog, &MainDialog::endRequested, &app, &QCoreApplication::exit);
    } else {
        // The picture shows the dialog as the run left it, with nothing in front of it.
        dialog.setMessageFunction([](const QString& text) { std::fprintf(stderr, "tunepress: %s\n", qPrintable(text)); });
        QObject::connect(&dialog, &MainDialog::endRequested, &app, [&](int status) {
            if (dialog.grab().save(options.screenshot)) return QCoreApplication::exit(status);
            std::fprintf(stderr, "tunepress: cannot save %s\n", qPrintable(options.screenshot));
            QCoreApplication::exit(1);
        });
    }
    if (!options.files.isEmpty())
        dialog.convertAndEnd(options.files);
    else if (!options.screenshot.isEmpty())
        QTimer::singleShot(0, &dialog, [&] { emit dialog.endRequested(0); });
    const int status = app.exec();
    // An input that never answers (a pipe nobody writes to, a hung network file) keeps its
    // thread; the program ends without it rather than hang.
    if (dialog.hasStuckInputs()) {
        Converter::removeAbandonedFiles();
        std::_Exit(status);
    }
    return status;
}
