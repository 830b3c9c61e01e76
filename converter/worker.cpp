#include "worker.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QRandomGenerator>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "outputs.h"
#include "vortax.h"

// What a run's jobs and the GUI thread share. Jobs read `over` between frames; the rest is
// under `lock`.
struct Converter::Run {
    // Set on the GUI thread when the run is stopped or has finished: from then on its jobs
    // end at their next frame and nothing more of theirs is told.
    std::atomic_bool over{false};
    std::mutex lock;
    std::condition_variable returned;
    int jobsOut = 0;            // jobs running on the pool, stuck ones too
    QList<int> unfinished;      // the ids of files given and not yet finished, in their order
    bool engineFailed = false;  // told once a run
};

namespace {

struct EngineDeleter {
    void operator()(EngineContext* context) const { engine_destroy(context); }
};
using Engine = std::unique_ptr<EngineContext, EngineDeleter>;

// The temporary files open now, for an exit that does not wait for a stuck job. Never
// destroyed: such a job may still hold an entry as the program ends.
struct OpenParts {
    std::mutex lock;
    std::set<std::string> paths;
};
OpenParts& openParts() {
    static auto* parts = new OpenParts;
    return *parts;
}

// A WAV file while it is written: a file of its own in the WAV file's folder, under a short
// name that fits wherever the WAV name does, which takes the WAV file's place only once
// complete. Until then a WAV file of an earlier run stays as it was; a file that is never
// completed goes away with this object.
class PartFile {
public:
    explicit PartFile(const QString& target) : m_target(target) {
        const QString folder = target.left(target.lastIndexOf(u'/') + 1);
        // A name where no file is, in a folder that takes files: made here to be sure of both,
        // then removed for the engine to make again. Opening the file made here would empty
        // it, and ext4 writes a file emptied on opening out to the disk as it closes (its
        // guard for files rewritten in place): every job would wait on the disk at its end.
        for (;;) {
            const QString candidate = folder + QStringLiteral(".tunepress-%1.part").arg(randomLetters());
            QFile file(candidate);
            if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                m_path = candidate;
                {
                    const std::lock_guard locker(openParts().lock);
                    openParts().paths.insert(QFile::encodeName(m_path).toStdString());
                }
                file.remove();
                return;
            }
            // Only a name that is taken is worth another try.
            if (!QFileInfo::exists(candidate)) {
                m_error = lowerFirst(file.errorString());
                return;
            }
        }
    }
    ~PartFile() {
        if (m_path.isEmpty()) return;
        QFile::remove(m_path);
        forget();
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Empty when the file could not be created; error() then says why.
    const QString& path() const { return m_path; }
    const QString& error() const { return m_error; }

    // Renames the file over the target in one step; returns what went wrong, or nothing.
    QString complete() {
        std::error_code error;
        std::filesystem::rename(QFileInfo(m_path).filesystemFilePath(), QFileInfo(m_target).filesystemFilePath(),
                                error);
        if (error) return QString::fromStdString(error.message());
        forget();
        return {};
    }

private:
    static QString randomLetters() {
        static constexpr char16_t Letters[] = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        QString letters(6, Qt::Uninitialized);
        for (QChar& letter : letters) letter = Letters[QRandomGenerator::global()->bounded(62)];
        return letters;
    }

    void forget() {
        const std::lock_guard locker(openParts().lock);
        openParts().paths.erase(QFile::encodeName(m_path).toStdString());
        m_path.clear();
    }

    QString m_target;
    QString m_path;
    QString m_error;
};

// The samples that reach the output, after any gapless trimming: the length of the WAV
// file. A file output keeps the stream's first format, so one rate covers every block.
struct Written {
    int64_t samples = 0;  // in each channel
    int32_t frequency = 0;
};

// How the counting filter finds the count of its own engine.
constexpr char WrittenVariable[] = "tunepress.written";

int32_t countWrite(void* self, void* instance, const void* buffer, int32_t size, int32_t width, int32_t stereo,
                   int32_t frequency) {
    const int32_t done = vortax_output_write(static_cast<FilterNode*>(self), buffer, size, width, stereo, frequency);
    if (done > 0) {
        auto* written = static_cast<Written*>(instance);
        written->samples += done / (std::max(1, width) * (stereo ? 2 : 1));
        if (written->frequency == 0) written->frequency = frequency;
    }
    return done;
}

const OutputFilterMethods CountingFilter = {
    []() -> const char* { return "tunepress-count"; },
    [](void** instance, int32_t, EngineContext* context) {
        return variable_get_pointer(context, WrittenVariable, instance);
    },
    nullptr,  // the count belongs to the job
    nullptr,
    nullptr,
    countWrite,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

// "3:25", or "1:02:03" past an hour, to the nearest second.
QString lengthText(const Written& written) {
    const int64_t total = written.frequency > 0 ? (written.samples + written.frequency / 2) / written.frequency : 0;
    const auto hours = static_cast<long long>(total / 3600);
    const auto minutes = static_cast<long long>(total / 60 % 60);
    const auto seconds = static_cast<long long>(total % 60);
    return hours > 0 ? QString::asprintf("%lld:%02lld:%02lld", hours, minutes, seconds)
                     : QString::asprintf("%lld:%02lld", minutes, seconds);
}

QString streamText(const EngineContext* context) {
    static const char* const Layers[] = {"invalid", "I", "II", "III"};
    static const char* const Modes[] = {"Stereo", "Jnt-Stereo", "2-Channel", "Mono"};
    const StreamInfo& stream = context->stream;
    // The engine gives MPEG 2.5 as version 0.
    const QByteArray version = stream.version == 0 ? QByteArray("2.5") : QByteArray::number(stream.version);
    return QString::asprintf("MPEG %s, layer %s, %d kbps, %d hz, %s, %ld sec", version.constData(),
                             Layers[stream.layer & 3], stream.bitrate, stream.frequency, Modes[stream.mode & 3],
                             static_cast<long>(context->input.duration));
}

struct Result {
    FileOutcome outcome = FileOutcome::Failed;
    QString detail;
    bool engineFailed = false;
};

Result failed(const char* format, const QString& name, const char* reason = nullptr) {
    return {FileOutcome::Failed, QString::asprintf(format, qUtf8Printable(name), reason), false};
}

// What a job tells as it goes, on its own thread.
struct Reports {
    std::function<void(const QString& text)> stream;
    std::function<void(int percent)> progress;
};

// A context of its own for one file: the file modules, the sound device as before, and the
// count of what is written.
std::optional<Result> makeEngine(Engine& engine, Written& written, bool gapless) {
    EngineContext* context = nullptr;
    int32_t code = engine_create(&context);
    if (code >= 0) {
        engine.reset(context);
        register_input_module(context, &FileInputModule);
        register_output_module(context, &FileOutputModule);
        // Registered last, the sound device is asked first, and its probe lets "wav:" names pass.
        register_output_module(context, &SoundDeviceOutputModule);
        engine_set_gapless(context, gapless ? 1 : 0);
        code = variable_set_pointer(context, WrittenVariable, &written);
        if (code >= 0) code = output_filter_add(context, &CountingFilter, -1);
    }
    if (code >= 0) return std::nullopt;
    return Result{FileOutcome::Failed, QString::asprintf("Cannot init decoder (%s)", error_name(code)), true};
}

// Decodes to the end of the input, or until the run is over.
int32_t decode(EngineContext* context, const std::atomic_bool& over, const Reports& reports) {
    int percent = -1;
    int32_t code = engine_decode_frame(context);
    while (!over) {
        const int now = std::clamp(static_cast<int>(100 * context->stream.fraction), 0, 100);
        if (now != percent) reports.progress(percent = now);
        if (code == VORTAX_OK && context->stream.changed) reports.stream(streamText(context));
        // A damaged frame or a slow source does not end the file; anything else does.
        if (code != VORTAX_OK && code != VORTAX_INVALID_FRAME && code != VORTAX_TIMEOUT) break;
        code = engine_decode_frame(context);
    }
    return code;
}

// Converts one file; nothing when the run was over before the file was through.
std::optional<Result> convertFile(const ConversionJob& job, bool gapless, const std::atomic_bool& over,
                                  const Reports& reports) {
    if (isSameFile(job.input, job.output)) return failed("Cannot convert %s onto itself", job.input);
    Engine engine;
    Written written;
    if (std::optional<Result> problem = makeEngine(engine, written, gapless)) return problem;
    EngineContext* context = engine.get();

    // The input is opened first, so that a file that cannot be read creates no output. A
    // FIFO without a writer blocks here; Stop does not wait for it.
    const QByteArray input = QFile::encodeName(job.input);
    int32_t code = input_select(context, input.constData(), -1);
    if (code >= 0) code = input_open(context);
    if (code < 0) return failed("Cannot open input %s (%s)", job.input, error_name(code));
    if (over) return std::nullopt;

    PartFile part(job.output);
    if (part.path().isEmpty()) return failed("Cannot write %s (%s)", job.output, qUtf8Printable(part.error()));
    const QByteArray wavName = "wav:" + QFile::encodeName(part.path());
    code = output_select(context, wavName.constData(), -1);
    if (code < 0) {
        // The name the user knows, not the part file's.
        return Result{FileOutcome::Failed,
                      QString::asprintf("Cannot instanciate  output (%s) -output=wav:%s", error_name(code),
                                        QFile::encodeName(job.output).constData())};
    }
    code = output_open(context);
    if (code < 0) return failed("Cannot write %s (%s)", job.output, error_name(code));
    if (context->stream.changed) reports.stream(streamText(context));

    code = decode(context, over, reports);
    // Stopped: the part file goes with this function, and whatever had the name stays.
    if (over) {
        output_close(context);
        return std::nullopt;
    }
    const bool decodedAudio = context->stream.frames > 0;
    output_set_control(context, nullptr, VORTAX_COMMAND_DRAIN);
    input_close(context);
    const int32_t closed = output_close(context);
    if (code == VORTAX_WRITE_FAILED) return failed("Cannot write %s (%s)", job.output, error_name(code));
    if (code != VORTAX_INPUT_END) return failed("Cannot read %s (%s)", job.input, error_name(code));
    if (!decodedAudio) return failed("No MPEG audio in %s", job.input);
    // The last bytes reach the disk only as the file closes, and a full disk shows there.
    const QString problem = closed < 0 ? QString::fromUtf8(error_name(closed)) : part.complete();
    if (!problem.isEmpty()) return failed("Cannot complete %s (%s)", job.output, qUtf8Printable(problem));
    return Result{FileOutcome::Converted, lengthText(written)};
}

}  // namespace

Converter::Converter(QObject* parent) : QObject(parent), m_workers(std::max(1, QThread::idealThreadCount())) {
    qRegisterMetaType<FileOutcome>();
    m_pool.setMaxThreadCount(m_workers);
}

Converter::~Converter() {
    // Without signals: whoever listens may be half destroyed by now.
    end();
    m_pool.waitForDone();
}

void Converter::setWorkers(int count) {
    m_workers = std::max(1, count);
    applyWorkers();
}

void Converter::setGapless(bool gapless) { m_gapless = gapless; }

void Converter::start(const QList<ConversionJob>& jobs) {
    if (!isRunning()) {
        m_run = std::make_shared<Run>();
        applyWorkers();
        // Told from the event loop, as a run with files would be, and not inside this call.
        if (jobs.isEmpty()) {
            QMetaObject::invokeMethod(this, [this, run = m_run] { finishIfDone(run); }, Qt::QueuedConnection);
            return;
        }
    }
    {
        const std::lock_guard locker(m_run->lock);
        for (const ConversionJob& job : jobs) m_run->unfinished.append(job.id);
    }
    for (const ConversionJob& job : jobs)
        m_pool.start([this, run = m_run, job, gapless = m_gapless] { runJob(run, job, gapless); });
}

void Converter::stop() {
    if (!isRunning()) return;
    for (const int id : end()) emit fileFinished(id, FileOutcome::Stopped, QString());
    emit finished();
}

bool Converter::isRunning() const { return m_run && !m_run->over; }

bool Converter::hasStuckJobs(int milliseconds) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (const std::shared_ptr<Run>& run : m_stopped) {
        std::unique_lock locker(run->lock);
        if (!run->returned.wait_until(locker, deadline, [&] { return run->jobsOut == 0; })) return true;
    }
    return false;
}

void Converter::removeAbandonedFiles() {
    OpenParts& parts = openParts();
    const std::lock_guard locker(parts.lock);
    for (const std::string& path : parts.paths) ::unlink(path.c_str());
    parts.paths.clear();
}

void Converter::runJob(const std::shared_ptr<Run>& run, const ConversionJob& job, bool gapless) {
    // Counts the job as out while it runs, for hasStuckJobs.
    struct Out {
        Run& run;
        explicit Out(Run& counted) : run(counted) {
            const std::lock_guard locker(run.lock);
            ++run.jobsOut;
        }
        ~Out() {
            {
                const std::lock_guard locker(run.lock);
                --run.jobsOut;
            }
            run.returned.notify_all();
        }
        Out(const Out&) = delete;
        Out& operator=(const Out&) = delete;
    } const out(*run);
    if (run->over) return;
    const int id = job.id;
    post(run, [this, id] { emit fileStarted(id); });
    const Reports reports{
        [&](const QString& text) { post(run, [this, id, text] { emit streamChanged(id, text); }); },
        [&](int percent) { post(run, [this, id, percent] { emit fileProgress(id, percent); }); },
    };
    const std::optional<Result> converted = convertFile(job, gapless, run->over, reports);
    if (!converted) return;
    post(run, [this, run, id, result = *converted] {
        if (result.engineFailed) {
            bool first = false;
            {
                const std::lock_guard locker(run->lock);
                first = !std::exchange(run->engineFailed, true);
            }
            if (first) emit engineFailed(result.detail);
        }
        fileDone(run, id, result.outcome, result.detail);
    });
}

void Converter::post(const std::shared_ptr<Run>& run, std::function<void()> signal) {
    if (run->over) return;
    // Everything is told from this object's thread, where stop() runs too: a report that a
    // stop overtakes on its way is dropped there, so nothing of a run follows its finished().
    QMetaObject::invokeMethod(
        this,
        [run, signal = std::move(signal)] {
            if (!run->over) signal();
        },
        Qt::QueuedConnection);
}

void Converter::fileDone(const std::shared_ptr<Run>& run, int id, FileOutcome outcome, const QString& detail) {
    {
        const std::lock_guard locker(run->lock);
        if (run->over) return;
        run->unfinished.removeOne(id);
    }
    emit fileFinished(id, outcome, detail);
    // A receiver may have stopped the run or added files to it meanwhile.
    finishIfDone(run);
}

void Converter::finishIfDone(const std::shared_ptr<Run>& run) {
    {
        const std::lock_guard locker(run->lock);
        if (run->over || !run->unfinished.isEmpty()) return;
        run->over = true;
    }
    emit finished();
}

QList<int> Converter::end() {
    if (!isRunning()) return {};
    QList<int> ids;
    {
        const std::lock_guard locker(m_run->lock);
        m_run->over = true;
        ids = std::exchange(m_run->unfinished, {});
    }
    // Jobs not started yet have nothing to undo.
    m_pool.clear();
    m_stopped.push_back(m_run);
    return ids;
}

void Converter::applyWorkers() {
    // A job stuck in its input keeps its thread: the pool gets one more for each, so that
    // the next run still has as many as asked for.
    int stuck = 0;
    std::erase_if(m_stopped, [&](const std::shared_ptr<Run>& run) {
        const std::lock_guard locker(run->lock);
        stuck += run->jobsOut;
        return run->jobsOut == 0;
    });
    m_pool.setMaxThreadCount(m_workers + stuck);
}
