#include "outputs.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

// strerror's words, as they read inside a sentence.
QString reason(int error) { return lowerFirst(QString::fromLocal8Bit(std::strerror(error))); }

// Paths compared as the file system would resolve them, also for files not made yet.
QString comparable(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

// A link that leads nowhere still takes the name.
bool nameTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// "song.wav" -> "song (2).wav", "song (3).wav", ..: the first one that is free.
QString numberedName(const QString& output, const QSet<QString>& planned) {
    const QString base = output.chopped(QStringLiteral(".wav").size());
    for (int number = 2;; ++number) {
        const QString candidate = base + QStringLiteral(" (%1).wav").arg(number);
        if (!nameTaken(candidate) && !planned.contains(comparable(candidate))) return candidate;
    }
}

}  // namespace

QString lowerFirst(QString text) {
    if (!text.isEmpty()) text[0] = text[0].toLower();
    return text;
}

bool isSameFile(const QString& input, const QString& output) {
    if (comparable(input) == comparable(output)) return true;
    const QFileInfo target(output);
    return target.exists() && target.canonicalFilePath() == QFileInfo(input).canonicalFilePath();
}

QString wavPathFor(const QString& input, const QString& folder) {
    const QString name = QFileInfo(input).completeBaseName() + QStringLiteral(".wav");
    if (folder.isEmpty()) return input.left(input.lastIndexOf(u'/') + 1) + name;
    // A folder typed with its trailing "/" must not give two of them.
    return (folder.endsWith(u'/') ? folder.chopped(1) : folder) + u'/' + name;
}

QString expandedFolder(const QString& folder) {
    const QString trimmed = folder.trimmed();
    if (trimmed == u'~') return QDir::homePath();
    if (trimmed.startsWith(QStringLiteral("~/"))) return QDir::homePath() + trimmed.mid(1);
    return trimmed;
}

std::optional<QString> prepareOutputFolder(const QString& folder) {
    const QString path = expandedFolder(folder);
    if (path.isEmpty()) return std::nullopt;
    const QFileInfo info(path);
    if (info.exists() && !info.isDir()) return QStringLiteral("The output folder %1 is a file").arg(path);

    // Made here rather than with QDir::mkpath, which does not say why it failed.
    std::error_code error;
    std::filesystem::create_directories(info.filesystemFilePath(), error);
    if (error) return QStringLiteral("Cannot create the output folder %1: %2").arg(path, reason(error.value()));

    // Tried for real: permission bits say nothing for root or on a read-only mount.
    QByteArray probe = QFile::encodeName(path + QStringLiteral("/.tunepress-XXXXXX"));
    const int descriptor = ::mkstemp(probe.data());
    if (descriptor < 0) {
        const int failure = errno;
        return QStringLiteral("Cannot write in the output folder %1: %2").arg(path, reason(failure));
    }
    ::close(descriptor);
    ::unlink(probe.constData());
    return std::nullopt;
}

QStringList mpegFilesBelow(const QString& folder) {
    static const QStringList Extensions{"mp1", "mp2", "mp3", "mpa", "mpg"};
    QStringList files;
    // Without QDir::Hidden and FollowSymlinks the walk neither lists nor enters hidden
    // entries and links to folders, so a link cannot lead it round in circles.
    QDirIterator walk(folder, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QFileInfo file(walk.next());
        if (Extensions.contains(file.suffix(), Qt::CaseInsensitive))
            files << QDir::cleanPath(file.absoluteFilePath());
    }
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return files;
}

QList<PlannedFile> planOutputs(const QStringList& inputs, const QString& folder, const AskClash& ask) {
    const QString outputFolder = expandedFolder(folder);
    QList<PlannedFile> plan;
    QSet<QString> planned;
    std::optional<ClashAnswer> answerForAll;
    for (const QString& input : inputs) {
        PlannedFile file{input, wavPathFor(input, outputFolder)};
        if (isSameFile(input, file.output)) {
            file.output.clear();
            plan << file;
            continue;
        }
        // Two inputs of the run meeting is what to tell, whether or not the name is on disk too.
        if (planned.contains(comparable(file.output)))
            file.clash = Clash::SameOutput;
        else if (nameTaken(file.output))
            file.clash = Clash::Exists;

        if (file.clash != Clash::None) {
            ClashAnswer answer;
            if (answerForAll) {
                answer = *answerForAll;
            } else {
                const ClashDecision decision = ask(file);
                answer = decision.answer;
                if (decision.applyToAll) answerForAll = answer;
            }
            if (answer == ClashAnswer::Skip) file.output.clear();
            if (answer == ClashAnswer::KeepBoth) file.output = numberedName(file.output, planned);
        }
        if (!file.output.isEmpty()) planned.insert(comparable(file.output));
        plan << file;
    }
    return plan;
}
