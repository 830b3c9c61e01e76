#include "worker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

#include <algorithm>
#include <memory>

#include "vortax.h"

namespace {

struct EngineDeleter {
    void operator()(EngineContext* context) const { engine_destroy(context); }
};
using Engine = std::unique_ptr<EngineContext, EngineDeleter>;

// Converting a file onto itself would truncate it before it is read.
bool isSameFile(const QString& input, const QString& output) {
    const QFileInfo target(output);
    return target.exists() && target.canonicalFilePath() == QFileInfo(input).canonicalFilePath();
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
    // The engine takes the name from "wav:" on; a failure message shows the whole argument.
    const QByteArray outputArgument = "-output=wav:" + QFile::encodeName(output);
    input_select(context, input.constData(), -1);
    output_select(context, outputArgument.constData() + qstrlen("-output="), -1);

    // The input is opened first, so that a file that cannot be read creates no output and
    // truncates none that is there.
    int32_t code = input_open(context);
    if (code < 0) {
        emit message(QString::asprintf("Cannot open input (%s)\n", error_name(code)));
        return FileResult::Failed;
    }
    code = output_open(context);
    if (code < 0) {
        input_close(context);
        emit message(QString::asprintf("Cannot instanciate  output (%s) %s\n", error_name(code),
                                       outputArgument.constData()));
        return FileResult::Fatal;
    }
    reportStream(context);
    emit statusChanged(QString::asprintf("Decoding: %s", qUtf8Printable(path)));

    code = decode(context, row);
    output_set_control(context, nullptr, COMMAND_DRAIN);
    input_close(context);
    // Closing completes the WAV header, so a file cut short keeps what was written.
    output_close(context);
    if (code == VORTAX_WRITE_FAILED) {
        emit message(QString::asprintf("Cannot write output (%s)", error_name(code)));
        return FileResult::Failed;
    }
    return code == VORTAX_INPUT_END ? FileResult::Converted : FileResult::Failed;
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
    emit streamChanged(QString::asprintf("MPEG %d, layer %s, %d kbps, %d hz, %s, %ld sec", stream.version,
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
