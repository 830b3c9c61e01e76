#include "worker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRandomGenerator>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "vortax.h"

namespace {

struct EngineDeleter {
    void operator()(EngineContext* context) const { engine_destroy(context); }
};
using Engine = std::unique_ptr<EngineContext, EngineDeleter>;

// Converting a file onto itself would replace the source with its WAV file.
bool isSameFile(const QString& input, const QString& output) {
    const QFileInfo target(output);
    return target.exists() && target.canonicalFilePath() == QFileInfo(input).canonicalFilePath();
}

// A WAV file while it is written: a file of its own in the WAV file's folder, under a short
// name that fits wherever the WAV name does, which takes the WAV file's place only once
// complete. Until then a WAV file of an earlier run stays as it was; a file that is never
// completed goes away with this object.
class PartFile {
public:
    explicit PartFile(const QString& target) : m_target(target) {
        const QString folder = target.left(target.lastIndexOf(u'/') + 1);
        // What any new file gets, less the umask, since the WAV file keeps them.
        constexpr QFile::Permissions Permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                   QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        // Created here, only where no file is, before the engine writes to it.
        for (;;) {
            const QString candidate = folder + QStringLiteral(".tunepress-%1.part").arg(randomLetters());
            QFile file(candidate);
            if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, Permissions)) {
                m_path = candidate;
                return;
            }
            // Only a name that is taken is worth another try.
            if (!QFileInfo::exists(candidate)) return;
        }
    }
    ~PartFile() {
        if (!m_path.isEmpty()) QFile::remove(m_path);
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Empty when the file could not be created.
    const QString& path() const { return m_path; }

    // Renames the file over the target in one step; returns what went wrong, or nothing.
    QString complete() {
        std::error_code error;
        std::filesystem::rename(QFileInfo(m_path).filesystemFilePath(), QFileInfo(m_target).filesystemFilePath(),
                                error);
        if (error) return QString::fromStdString(error.message());
        m_path.clear();
        return {};
    }

private:
    static QString randomLetters() {
        static constexpr char16_t Letters[] = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        QString letters(6, Qt::Uninitialized);
        for (QChar& letter : letters) letter = Letters[QRandomGenerator::global()->bounded(62)];
        return letters;
    }

    QString m_target;
    QString m_path;
};

int32_t openWavOutput(EngineContext* context, const QString& path) {
    const QByteArray name = "wav:" + QFile::encodeName(path);
    output_select(context, name.constData(), -1);
    return output_open(context);
}

}  // namespace

QString wavPathFor(const QString& input, const QString& folder) {
    const QString name = QFileInfo(input).completeBaseName() + QStringLiteral(".wav");
    if (folder.isEmpty()) return input.left(input.lastIndexOf(u'/') + 1) + name;
    // A folder typed with its trailing "/" must not give two of them.
    return (folder.endsWith(u'/') ? folder.chopped(1) : folder) + u'/' + name;
}

void ConversionWorker::setFiles(const QStringList& files) {
    const QMutexLocker locker(&m_filesLock);
    m_files = files;
}

void ConversionWorker::start(const QString& outputFolder) {
    // Cleared here, before the run is queued, so that a stop that comes first still counts.
    m_stopRequested = false;
    QMetaObject::invokeMethod(this, [this, outputFolder] { run(outputFolder); }, Qt::QueuedConnection);
}

void ConversionWorker::requestStop() { m_stopRequested = true; }

void ConversionWorker::run(const QString& outputFolder) {
    m_overall = m_current = -1;
    const Outcome outcome = convertAll(outputFolder);
    setProgress(100, 0);
    m_stopRequested = true;
    emit finished(outcome);
}

ConversionWorker::Outcome ConversionWorker::convertAll(const QString& folder) {
    EngineContext* context = nullptr;
    const int32_t created = engine_create(&context);
    if (created < 0) {
        emit message(QString::asprintf("Cannot init decoder (%s)", error_name(created)));
        return Outcome::Fatal;
    }
    const Engine engine(context);
    register_input_module(context, &FileInputModule);
    register_output_module(context, &FileOutputModule);
    // Registered last, the sound device is asked first, and its probe lets "wav:" names pass.
    register_output_module(context, &SoundDeviceOutputModule);
    // One level only; a folder that is there already is what we want.
    if (!folder.isEmpty()) QDir().mkdir(folder);

    Outcome outcome = Outcome::AllConverted;
    for (int row = 0; const std::optional<QString> path = fileAt(row); ++row) {
        if (m_stopRequested) return Outcome::NotAllConverted;
        emit fileStarted(row);
        switch (convert(context, row, *path, folder)) {
        case FileResult::Converted:
            break;
        case FileResult::Failed:
            outcome = Outcome::NotAllConverted;
            break;
        case FileResult::Fatal:
            return Outcome::Fatal;
        }
    }
    return outcome;
}

ConversionWorker::FileResult ConversionWorker::convert(EngineContext* context, int row, const QString& path,
                                                       const QString& folder) {
    const QString output = wavPathFor(path, folder);
    if (isSameFile(path, output)) {
        emit message(QString::asprintf("Cannot convert %s onto itself", qUtf8Printable(path)));
        return FileResult::Failed;
    }
    const QByteArray input = QFile::encodeName(path);
    input_select(context, input.constData(), -1);

    // The input is opened first, so that a file that cannot be read creates no output.
    int32_t code = input_open(context);
    if (code < 0) {
        emit message(QString::asprintf("Cannot open input (%s)\n", error_name(code)));
        return FileResult::Failed;
    }
    PartFile part(output);
    code = part.path().isEmpty() ? VORTAX_OPEN_FAILED : openWavOutput(context, part.path());
    if (code < 0) {
        input_close(context);
        // The name the user knows, not the part file's.
        emit message(QString::asprintf("Cannot instanciate  output (%s) -output=wav:%s\n", error_name(code),
                                       QFile::encodeName(output).constData()));
        return FileResult::Fatal;
    }
    reportStream(context);
    emit statusChanged(QString::asprintf("Decoding: %s", qUtf8Printable(path)));

    code = decode(context, row);
    const bool decodedAudio = context->stream.frames > 0;
    output_set_control(context, nullptr, COMMAND_DRAIN);
    input_close(context);
    const int32_t closed = output_close(context);
    if (code == VORTAX_WRITE_FAILED) {
        emit message(QString::asprintf("Cannot write output (%s)", error_name(code)));
        return FileResult::Failed;
    }
    // Stopped, or the input failed: the part file goes, and whatever had the name stays.
    if (code != VORTAX_INPUT_END) return FileResult::Failed;
    if (!decodedAudio) {
        emit message(QString::asprintf("No MPEG audio in %s", qUtf8Printable(path)));
        return FileResult::Failed;
    }
    // The last bytes reach the disk only as the file closes, and a full disk shows there.
    const QString problem = closed < 0 ? QString::fromUtf8(error_name(closed)) : part.complete();
    if (problem.isEmpty()) return FileResult::Converted;
    emit message(QString::asprintf("Cannot complete %s (%s)", qUtf8Printable(output), qUtf8Printable(problem)));
    return FileResult::Failed;
}

int32_t ConversionWorker::decode(EngineContext* context, int row) {
    int32_t code = engine_decode_frame(context);
    while (!m_stopRequested) {
        reportProgress(row, context->stream.fraction);
        if (code == VORTAX_OK) reportStream(context);
        // A damaged frame or a slow source does not end the file; anything else does.
        if (code != VORTAX_OK && code != VORTAX_INVALID_FRAME && code != VORTAX_TIMEOUT) break;
        code = engine_decode_frame(context);
    }
    return code;
}

void ConversionWorker::reportProgress(int row, float fraction) {
    // Files added or removed during the run count as soon as they are there.
    const int files = std::max(fileCount(), 1);
    setProgress(static_cast<int>((100 * row + 100 * fraction) / files), static_cast<int>(100 * fraction));
}

void ConversionWorker::reportStream(const EngineContext* context) {
    static const char* const Layers[] = {"invalid", "I", "II", "III"};
    static const char* const Modes[] = {"Stereo", "Jnt-Stereo", "2-Channel", "Mono"};
    const StreamInfo& stream = context->stream;
    if (!stream.changed) return;
    // The engine gives MPEG 2.5 as version 0.
    const QByteArray version = stream.version == 0 ? QByteArray("2.5") : QByteArray::number(stream.version);
    emit streamChanged(QString::asprintf("MPEG %s, layer %s, %d kbps, %d hz, %s, %ld sec", version.constData(),
                                         Layers[stream.layer & 3], stream.bitrate, stream.frequency,
                                         Modes[stream.mode & 3], static_cast<long>(context->input.duration)));
}

void ConversionWorker::setProgress(int overall, int current) {
    if (overall == m_overall && current == m_current) return;
    m_overall = overall;
    m_current = current;
    emit progressChanged(overall, current);
}

std::optional<QString> ConversionWorker::fileAt(int row) const {
    const QMutexLocker locker(&m_filesLock);
    if (row >= m_files.size()) return std::nullopt;
    return m_files.at(row);
}

int ConversionWorker::fileCount() const {
    const QMutexLocker locker(&m_filesLock);
    return static_cast<int>(m_files.size());
}
