#include "outputs.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <filesystem>

#include "mpeg_names.h"
#include "native_path.h"
#include "part_file.h"
#include "reasons.h"

namespace fs = std::filesystem;

namespace {

// Paths compared as the file system would resolve them, also for files not made yet.
QString comparable(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

// A link that leads nowhere still takes the name.
bool nameTaken(const QString& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(filesystemPath(path), error));
}

// "song.wav" -> "song (2).wav", "song (3).wav", ..: the first one that is free, counting on
// from `number`, the last one given to the name (a number passed over stays taken).
QString numberedName(const QString& output, const QSet<QString>& planned, int& number) {
    const QString base = output.chopped(QStringLiteral(".wav").size());
    for (number = std::max(number + 1, 2);; ++number) {
        const QString candidate = base + QStringLiteral(" (%1).wav").arg(number);
        if (!nameTaken(candidate) && !planned.contains(comparable(candidate))) return candidate;
    }
}

QString joined(const QString& folder, const QString& name) {
    return folder.isEmpty() || folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// "Album/01 - Intro.mp3" -> "Album/01 - Intro": the name up to its last dot.
QString withoutExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot > path.lastIndexOf(u'/') + 1 ? path.left(dot) : path;
}

// Where the outputs of `input` go, ending in "/" (empty for the current folder): the output
// folder, or the input's own folder when there is none.
QString placeFor(const QString& input, const QString& folder) {
    return joined(folder.isEmpty() ? input.left(input.lastIndexOf(u'/') + 1) : folder, QString());
}

void collectMpegFiles(const QString& folder, const QString& tree, QList<SourceFile>& found) {
    std::error_code error;
    for (fs::directory_iterator entry(filesystemPath(folder), error), end; !error && entry != end;
         entry.increment(error)) {
        const QString name = pathFromNative(entry->path().filename().native());
        if (name.startsWith(u'.')) continue;
        std::error_code unknown;  // a type that cannot be told is no folder to go into
        if (entry->is_directory(unknown)) {
            if (!entry->is_symlink(unknown)) collectMpegFiles(joined(folder, name), joined(tree, name), found);
        } else if (hasMpegExtension(name)) {
            found.append({joined(folder, name), joined(tree, name)});
        }
    }
    if (error) found.append({folder, tree});
}

}  // namespace

const QStringList MpegExtensions = [] {
    QStringList extensions;
    for (const std::string_view extension : vortax::MpegExtensions) extensions << QString::fromLatin1(extension);
    return extensions;
}();

bool hasMpegExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot > path.lastIndexOf(u'/') && MpegExtensions.contains(path.mid(dot + 1), Qt::CaseInsensitive);
}

bool isSameFile(const QString& input, const QString& output) {
    std::error_code error;
    return comparable(input) == comparable(output) ||
           fs::equivalent(filesystemPath(input), filesystemPath(output), error);
}

SourceFile singleFile(const QString& path) { return {path, path.mid(path.lastIndexOf(u'/') + 1)}; }

QString wavPathFor(const SourceFile& file, const QString& folder, const QString& taggedName) {
    const QString place = placeFor(file.path, folder);
    const QString name = folder.isEmpty() ? file.path.mid(place.size()) : file.treePath;
    return place + (taggedName.isEmpty() ? withoutExtension(name) : taggedName) + QStringLiteral(".wav");
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
    std::error_code error;
    const fs::file_status status = fs::status(filesystemPath(path), error);
    if (fs::exists(status) && !fs::is_directory(status))
        return QStringLiteral("The output folder %1 is a file").arg(path);

    // Made here rather than with QDir::mkpath, which does not say why it failed.
    fs::create_directories(filesystemPath(path), error);
    if (error) return QStringLiteral("Cannot create the output folder %1: %2").arg(path, reasonOf(error.value()));

    // Tried for real: permission bits say nothing for root or on a read-only mount.
    if (const int failure = tryPartFile(path))
        return QStringLiteral("Cannot write in the output folder %1: %2").arg(path, reasonOf(failure));
    return std::nullopt;
}

QList<SourceFile> mpegFilesBelow(const QString& folder) {
    const QString top = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    QList<SourceFile> found;
    collectMpegFiles(top, top.mid(top.lastIndexOf(u'/') + 1), found);
    return found;
}

QString shownOutput(const PlannedFile& file, const QString& folder) {
    const QString place = placeFor(file.input, folder);
    return file.output.startsWith(place) ? file.output.mid(place.size()) : file.output;
}

std::optional<QList<PlannedFile>> planOutputs(QList<PlannedFile> files, const AskClash& ask) {
    QSet<QString> planned;
    QHash<QString, int> numbers;  // the last number given to each name
    std::optional<ClashAnswer> answerForAll;
    for (PlannedFile& file : files) {
        if (isSameFile(file.input, file.output)) {
            file.output.clear();
            continue;
        }
        if (planned.contains(comparable(file.output))) {
            file.output = numberedName(file.output, planned, numbers[comparable(file.output)]);
        } else if (nameTaken(file.output)) {
            ClashAnswer answer;
            if (answerForAll) {
                answer = *answerForAll;
            } else {
                const ClashDecision decision = ask(file);
                answer = decision.answer;
                if (decision.applyToAll) answerForAll = answer;
            }
            if (answer == ClashAnswer::Cancel) return std::nullopt;
            if (answer == ClashAnswer::Skip) file.output.clear();
            if (answer == ClashAnswer::KeepBoth)
                file.output = numberedName(file.output, planned, numbers[comparable(file.output)]);
        }
        if (!file.output.isEmpty()) planned.insert(comparable(file.output));
    }
    return files;
}
