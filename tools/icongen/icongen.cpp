// icongen: writes the desktop icons of the game and of Tunepress as PNG files.
#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstring>

#include "icon.h"

namespace {

constexpr int Sizes[] = {16, 24, 32, 48, 64, 128, 256};

// The game's pictures are pixel art: whole multiples keep their pixels square and sharp.
QImage gameIcon(const QImage& picture, int size) {
    const auto mode = size % picture.width() == 0 ? Qt::FastTransformation : Qt::SmoothTransformation;
    return picture.scaled(size, size, Qt::IgnoreAspectRatio, mode);
}

bool save(const QImage& image, const QString& folder, int size, const char* name) {
    const QString apps = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
    const QString path = QStringLiteral("%1/%2.png").arg(apps, QLatin1String(name));
    if (QDir().mkpath(apps) && image.save(path, "PNG")) return true;
    std::fprintf(stderr, "icongen: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::puts("usage: icongen FOLDER GAME_PICTURE\n\n"
                  "Writes FOLDER/NxN/apps/kelvoro.png, made from the game's picture GAME_PICTURE,\n"
                  "and FOLDER/NxN/apps/tunepress.png for N = 16, 24, 32, 48, 64, 128 and 256.");
        return 0;
    }
    if (argc != 3 || argv[1][0] == '-') {
        std::fputs("icongen: expected a folder and the game's picture (try --help)\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QImage picture(QString::fromLocal8Bit(argv[2]));
    if (picture.isNull()) {
        std::fprintf(stderr, "icongen: cannot read %s\n", argv[2]);
        return 1;
    }
    for (const int size : Sizes) {
        if (!save(gameIcon(picture, size), folder, size, "kelvoro") ||
            !save(tunepressIconImage(size), folder, size, "tunepress"))
            return 1;
    }
    return 0;
}
