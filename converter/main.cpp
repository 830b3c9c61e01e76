// tunepress: the dialog, or with a file named on the command line, its conversion at once.
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <string>

#include "about.h"
#include "dialog.h"
#include "icon.h"
#include "vortax.h"

namespace {

constexpr const char* Usage =
    "usage: tunepress [FILE]\n"
    "       tunepress --screenshot PATH\n"
    "\n"
    "Converts MPEG audio files (layers I, II and III) to WAV files. With FILE the dialog\n"
    "converts it at once into the saved output folder and the program ends: with exit\n"
    "status 0 when the file was converted, 1 when it was not.\n"
    "\n"
    "  --screenshot PATH  save a picture of the dialog to PATH (PNG) once it is shown, and end\n"
    "  --help             show this text\n"
    "  --version          show the versions of Tunepress and of its decoding engine\n";

struct Options {
    QString file;
    QString screenshot;
};

int refuse(const std::string& reason) {
    std::fprintf(stderr, "tunepress: %s\n", reason.c_str());
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
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
        } else if (options.file.isEmpty()) {
            options.file = QString::fromLocal8Bit(argument);
        } else {
            return refuse("one file at most");
        }
    }

    QApplication app(argc, argv);
    app.setWindowIcon(tunepressIcon());
    app.setDesktopFileName(QStringLiteral("tunepress"));
    MainDialog dialog;
    QObject::connect(&dialog, &MainDialog::endRequested, &app, &QCoreApplication::exit);
    dialog.show();
    if (!options.screenshot.isEmpty()) {
        QTimer::singleShot(0, &dialog, [&] {
            if (dialog.grab().save(options.screenshot)) return QCoreApplication::exit(0);
            std::fprintf(stderr, "tunepress: cannot save %s\n", qPrintable(options.screenshot));
            QCoreApplication::exit(1);
        });
    } else if (!options.file.isEmpty()) {
        dialog.convertAndEnd(options.file);
    }
    return app.exec();
}
