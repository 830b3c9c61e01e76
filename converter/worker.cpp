#include "worker.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <utility>

#include "about.h"
#include "native_path.h"
#include "outputs.h"
#include "part_file.h"
#include "reasons.h"
#include "run_clock.h"
#include "stream_line.h"
#include "vortax.h"

// How often the GUI thread takes what the jobs told: often enough for the progress shown to
// move smoothly, and seldom enough that thousands of short files cost it next to nothing.
constexpr int DeliveryMs = 100;

// What a run's jobs and the GUI thread share: jobs read `over` between frames and tell
// through `reports`; `lock` guards `jobsOut`, `reports` and `progressAt`. The rest is the
// GUI thread's.
struct Converter::Run {
    // Set on the GUI thread when the run is stopped or has finished: from then on its jobs
    // end at their next frame and nothing more of theirs is told.
    std::atomic_bool over{false};
    std::mutex lock;
    std::condition_variable returned;
    int jobsOut = 0;                   // jobs running on the pool, stuck ones too
    std::vector<Report> reports;       // told since the last delivery, in order
    QHash<int, qsizetype> progressAt;  // the progress report of each file in `reports`
    QList<int> unfinished;             // the ids of files given and not yet finished, in their order
    bool engineFailed = false;         // told once a run
};

namespace {

struct EngineDeleter {
    void operator()(EngineContext* context) const { engine_destroy(context); }
};
using Engine = std::unique_ptr<EngineContext, EngineDeleter>;

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

// The length of the audio written, to the nearest second.
QString lengthText(const Written& written) {
    return durationText(written.frequency > 0 ? (written.samples + written.frequency / 2) / written.frequency : 0);
}

QString streamText(const EngineContext* context) {
    return QString::fromStdString(vortax::StreamLine(context->stream, vortax::StreamWords::Short)) +
           QString::asprintf(", %ld sec", static_cast<long>(context->input.duration));
}

struct Result {
    FileOutcome outcome = FileOutcome::Failed;
    QString detail;
    bool engineFailed = false;
};

// `format` with the reason in place of its %s.
Result failed(const char* format, const QString& reason = QString()) {
    return {FileOutcome::Failed, QString::asprintf(format, qUtf8Printable(reason)), false};
}

// Why the last write of this thread's engine failed, as the file output module tells it
// ("No space left on device"). The engine tells its notices on the thread that called it,
// so each job hears its own.
thread_local QString writeFailure;

void keepWriteFailure(uint32_t, int32_t, int32_t, const char* message, const char* detail) {
    if (message && detail && std::strcmp(message, "cannot write output file") == 0)
        writeFailure = lowerFirst(QString::fromLocal8Bit(detail));
}

// The engine's own words for a failed write where it had them, else the code's name.
QString writeReason(int32_t code) {
    return writeFailure.isEmpty() ? QString::fromUtf8(error_name(code)) : writeFailure;
}

// What a job tells as it goes, on its own thread.
struct Reports {
    std::function<void(const QString& text)> stream;
    std::function<void(int percent)> progress;
};

// A context of its own for one file: the file modules, the sound device as before, the
// count of what is written, and the stream's tags carried into the WAV file, which names
// Tunepress as the software that wrote it.
std::optional<Result> makeEngine(Engine& engine, Written& written, bool gapless) {
    static const QByteArray Software = QByteArray("Tunepress ") + TunepressVersion;
    EngineContext* context = nullptr;
    int32_t code = engine_create(&context);
    if (code >= 0) {
        engine.reset(context);
        context->notify = keepWriteFailure;
        register_input_module(context, &FileInputModule);
        register_output_module(context, &FileOutputModule);
        // Registered last, the sound device is asked first, and its probe lets "wav:" names pass.
        register_output_module(context, &SoundDeviceOutputModule);
        engine_set_gapless(context, gapless ? 1 : 0);
        engine_set_tags(context, 1);
        code = variable_set_string(context, "software", Software.constData());
        if (code >= 0) code = variable_set_pointer(context, WrittenVariable, &written);
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

// Makes the folder of the WAV file when it is missing, as for a folder's tree kept below
// the output folder; the reason when it cannot be made.
QString makeFolderOf(const QString& output) {
    const std::filesystem::path folder = filesystemPath(output).parent_path();
    std::error_code error;
    if (!folder.empty()) std::filesystem::create_directories(folder, error);
    return error ? reasonOf(error.value()) : QString();
}

// Converts one file; nothing when the run was over before the file was through.
std::optional<Result> convertFile(const ConversionJob& job, bool gapless, const std::atomic_bool& over,
                                  const Reports& reports) {
    if (isSameFile(job.input, job.output)) return failed("Cannot convert a file onto itself");
    writeFailure.clear();
    Engine engine;
    Written written;
    if (std::optional<Result> problem = makeEngine(engine, written, gapless)) return problem;
    EngineContext* context = engine.get();

    // The input is opened first, so that a file that cannot be read creates no output. A
    // FIFO without a writer blocks here; Stop does not wait for it.
    int32_t code = input_select(context, nativePath(job.input).constData(), -1);
    if (code >= 0) code = input_open(context);
    if (code < 0) return failed("Cannot open input (%s)", error_name(code));
    if (over) return std::nullopt;

    if (const QString problem = makeFolderOf(job.output); !problem.isEmpty())
        return failed("Cannot create the folder of the WAV file (%s)", problem);
    PartFile part(job.output);
    if (part.path().isEmpty()) return failed("Cannot write the WAV file (%s)", part.error());
    code = output_select(context, ("wav:" + nativePath(part.path())).constData(), -1);
    if (code >= 0) code = output_open(context);
    if (code < 0) return failed("Cannot write the WAV file (%s)", error_name(code));
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
    if (code == VORTAX_WRITE_FAILED) return failed("Cannot write the WAV file (%s)", writeReason(code));
    if (code != VORTAX_INPUT_END) return failed("Cannot read the input (%s)", error_name(code));
    if (!decodedAudio) return failed("No MPEG audio");
    // The last bytes reach the disk only as the file closes, and a full disk shows there.
    const QString problem = closed < 0 ? writeReason(closed) : part.complete();
    if (!problem.isEmpty()) return failed("Cannot complete the WAV file (%s)", problem);
    return Result{FileOutcome::Converted, lengthText(written)};
}

}  // namespace

Converter::Converter(QObject* parent) : QObject(parent), m_workers(std::max(1, QThread::idealThreadCount())) {
    qRegisterMetaType<FileOutcome>();
    m_pool.setMaxThreadCount(m_workers);
    m_delivery.setInterval(DeliveryMs);
    connect(&m_delivery, &QTimer::timeout, this, &Converter::deliver);
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
    QSet<QString> folders;
    for (const ConversionJob& job : jobs) folders.insert(QFileInfo(job.output).absolutePath());
    for (const QString& folder : std::as_const(folders)) removeLeftoverParts(folder);
    if (!isRunning()) {
        m_run = std::make_shared<Run>();
        applyWorkers();
        m_delivery.start();
    }
    for (const ConversionJob& job : jobs) {
        m_run->unfinished.append(job.id);
        m_pool.start([run = m_run, job, gapless = m_gapless] { runJob(run, job, gapless); });
    }
}

void Converter::stop() {
    // What was told before the stop holds: a file completed meanwhile is converted.
    deliver();
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

void Converter::removeAbandonedFiles() { PartFile::removeOpenFiles(); }

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
    tell(*run, {.kind = Report::Started, .id = id});
    const Reports reports{
        [&](const QString& text) { tell(*run, {.kind = Report::Stream, .id = id, .text = text}); },
        [&](int percent) { tell(*run, {.kind = Report::Progress, .id = id, .percent = percent}); },
    };
    const std::optional<Result> result = convertFile(job, gapless, run->over, reports);
    if (!result) return;
    tell(*run, {.kind = Report::Finished,
                .id = id,
                .text = result->detail,
                .outcome = result->outcome,
                .engineFailed = result->engineFailed});
}

void Converter::tell(Run& run, Report report) {
    const std::lock_guard locker(run.lock);
    if (report.kind == Report::Progress) {
        // One progress report a file between deliveries, with the latest percent.
        if (const auto at = run.progressAt.constFind(report.id); at != run.progressAt.cend()) {
            run.reports[*at].percent = report.percent;
            return;
        }
        run.progressAt.insert(report.id, qsizetype(run.reports.size()));
    }
    run.reports.push_back(std::move(report));
}

void Converter::deliver() {
    if (!isRunning()) return;
    const std::shared_ptr<Run> run = m_run;
    {
        const std::lock_guard locker(run->lock);
        std::move(run->reports.begin(), run->reports.end(), std::back_inserter(m_told));
        run->reports.clear();
        run->progressAt.clear();
    }
    // Taken one at a time from m_told: a receiver may stop the run (which empties it), or
    // stop it and deliver what came since, meanwhile.
    while (!m_told.empty()) {
        const Report report = std::move(m_told.front());
        m_told.pop_front();
        switch (report.kind) {
            case Report::Started:
                emit fileStarted(report.id);
                break;
            case Report::Progress:
                emit fileProgress(report.id, report.percent);
                break;
            case Report::Stream:
                emit streamChanged(report.id, report.text);
                break;
            case Report::Finished:
                finishFile(*run, report);
                break;
        }
    }
    finishIfDone(*run);
}

void Converter::finishFile(Run& run, const Report& report) {
    if (report.engineFailed && !std::exchange(run.engineFailed, true)) emit engineFailed(report.text);
    run.unfinished.removeOne(report.id);
    emit fileFinished(report.id, report.outcome, report.text);
}

// A receiver may have stopped the run or added files to it meanwhile.
void Converter::finishIfDone(Run& run) {
    if (run.over || !run.unfinished.isEmpty()) return;
    run.over = true;
    m_delivery.stop();
    emit finished();
}

QList<int> Converter::end() {
    if (!isRunning()) return {};
    m_run->over = true;
    m_delivery.stop();
    m_told.clear();
    // Jobs not started yet have nothing to undo.
    m_pool.clear();
    m_stopped.push_back(m_run);
    return std::exchange(m_run->unfinished, {});
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
