// vortax-decode: the engine's command-line decoder, for one file or many.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "vortax.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* Usage =
    "usage: vortax-decode [OPTIONS] IN [OUT]\n"
    "       vortax-decode [OPTIONS] [-o DIR] [-j N] FILE...\n"
    "       vortax-decode --scan FILE\n"
    "       vortax-decode [OPTIONS] --play FILE [--device N]\n"
    "       vortax-decode --list-devices\n"
    "\n"
    "Decodes the MPEG audio stream IN (\"-\" for standard input) to OUT: a WAV file by\n"
    "default, raw PCM with a \"raw:\" prefix, raw PCM on standard output as \"-\" (\"wav:-\"\n"
    "for a WAV stream there). Without OUT the WAV file is IN with its extension replaced by\n"
    ".wav. Given several MPEG audio files (or -o), each becomes NAME.wav in DIR, or beside\n"
    "its source without -o. A WAV file is written under a temporary name and gets its own\n"
    "name only when it is complete; nothing is written for an input that cannot be read,\n"
    "and no input is ever overwritten.\n"
    "\n"
    "  -o DIR         write the WAV files into DIR\n"
    "  -j N           convert N files at once (default: the number of processors)\n"
    "  --mono-left    keep only the first channel\n"
    "  --mono-right   keep only the second channel\n"
    "  --downmix      average both channels into one\n"
    "  --half         halve the sampling rate (at 32 kHz and up)\n"
    "  --quarter      quarter the sampling rate (at 32 kHz and up; halve at 16 kHz and up)\n"
    "  --no-gapless   keep the encoder's delay and padding (by default a stream whose\n"
    "                 encoder says how much it added decodes to exactly the audio encoded)\n"
    "  --scan FILE    read every frame of FILE and print what the stream is, then\n"
    "                 'frames N duration S' (confirmed frames, whole seconds) and, when the\n"
    "                 encoder's tag gives it, 'samples N' (the exact length per channel)\n"
    "  --play FILE    play FILE on a sound device (N of --list-devices, 0 the default\n"
    "                 device, with --device N) and end when the device has played it\n"
    "  --list-devices list the sound devices: number, name and description\n"
    "  --help         show this text\n"
    "  --version      show the engine's version\n"
    "\n"
    "Exit status: 0 when every file was converted, 1 when any was not, 2 for a usage error.\n";

const char* ModeName(int32_t mode) {
    static const char* const names[] = {"stereo", "joint stereo", "dual channel", "single channel"};
    return mode >= 0 && mode < 4 ? names[mode] : "unknown";
}

std::string StreamLine(const StreamInfo& stream) {
    char line[160];
    std::snprintf(line, sizeof line, "MPEG %s, layer %d, %d kbit/s, %d Hz, %s",
                  stream.version == 0 ? "2.5" : std::to_string(stream.version).c_str(), stream.layer, stream.bitrate,
                  stream.frequency, ModeName(stream.mode));
    return line;
}

// An output that takes every block and keeps none, for scanning.
int32_t TakeAll(const char*) { return 0; }
int32_t NewNothing(void** instance, const char*, const ModuleRecord*, EngineContext*) {
    static int nothing;
    *instance = &nothing;
    return 0;
}
int32_t Done(void*) { return 0; }
int32_t Swallow(void*, const void*, int32_t size, int32_t, int32_t, int32_t) { return size > 0 ? size : 1; }

constexpr OutputMethods Nowhere = {TakeAll, nullptr, NewNothing, Done, Done, Done, Swallow,
                                   nullptr, nullptr, nullptr,    nullptr, nullptr, nullptr};

struct Options {
    int32_t channels = 0;
    int32_t reduction = 0;
    bool gapless = true;
    bool scan = false;
    bool play = false;
    int device = 0;      // --device: 0 the default sound device
    std::string folder;  // -o
    unsigned jobs = 0;   // -j; 0: one per processor
};

// One conversion: the engine's output name, and the file it finally becomes (empty for
// standard output, which is written straight away).
struct Job {
    std::string input;
    const char* format = "wav:";  // or "raw:"
    std::string path;    // the final file, or "-"
    std::string error;   // why it failed, empty when it did not
    float fraction = 0;  // how far it has come
    bool finished = false;
};

// Pieces of text joined (g++ 12 warns falsely about chains of std::string +).
std::string Join(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (std::string_view piece : pieces) text += piece;
    return text;
}

bool IsMpegName(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string extension(name.substr(dot + 1));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == "mp3" || extension == "mp2" || extension == "mp1" || extension == "mpg";
}

// NAME.wav of the input, in the folder or beside the input.
std::string WavPathFor(const std::string& input, const std::string& folder) {
    fs::path wav = fs::path(input).filename().replace_extension(".wav");
    return (folder.empty() ? fs::path(input).parent_path() / wav : fs::path(folder) / wav).string();
}

Job JobFor(const std::string& input, const std::string& out, const std::string& folder) {
    Job job;
    job.input = input;
    if (out.empty()) {
        job.path = WavPathFor(input, folder);
    } else if (out.rfind("raw:", 0) == 0 || out.rfind("wav:", 0) == 0) {
        job.format = out.rfind("raw:", 0) == 0 ? "raw:" : "wav:";
        job.path = out.substr(4);
    } else {
        if (out == "-") job.format = "raw:";  // a pipe cannot take back a WAV header
        job.path = out;
    }
    return job;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return fs::exists(b, error) && fs::equivalent(a, b, error);
}

// A context with the file input, one output module and the options set, and `input` open;
// null, with the reason in `error`, when the input cannot be read.
EngineContext* OpenEngine(const Options& options, const std::string& input, const OutputMethods& output, bool gapless,
                          int32_t& outputId, std::string& error) {
    EngineContext* context = nullptr;
    if (const int32_t code = engine_create(&context); code < 0) {
        error = error_name(code);
        return nullptr;
    }
    register_input_module(context, &FileInputModule);
    outputId = register_output_module(context, &output);
    engine_set_channels(context, options.channels);
    engine_set_reduction(context, options.reduction);
    engine_set_gapless(context, gapless);
    int32_t code = input_select(context, input.c_str(), -1);
    if (code >= 0) code = input_open(context);
    if (code >= 0) return context;
    error = Join({"cannot open input: ", error_name(code)});
    engine_destroy(context);
    return nullptr;
}

// Converts one file. The output goes to a temporary name beside its final one and is
// renamed when complete; a failure leaves nothing under the final name.
void Convert(const Options& options, Job& job, bool announce) {
    if (job.path != "-" && job.input != "-" && SameFile(job.input, job.path)) {
        job.error = "the output would overwrite the input";
        return;
    }
    // The input is opened before any output exists, so a file that cannot be read leaves
    // nothing behind.
    int32_t output = 0;
    EngineContext* context = OpenEngine(options, job.input, FileOutputModule, options.gapless, output, job.error);
    if (!context) return;
    // Only a regular file is written under a temporary name: a device or a pipe is written
    // as it is.
    std::error_code status;
    const bool direct = job.path == "-" || (fs::exists(job.path, status) && !fs::is_regular_file(job.path, status));
    const std::string temporary = direct ? job.path : Join({job.path, ".part"});
    int32_t code = output_select(context, Join({job.format, temporary}).c_str(), output);
    if (code >= 0) code = output_open(context);
    if (code < 0) {
        job.error = Join({"cannot write ", job.path, ": ", error_name(code)});
        engine_destroy(context);
        return;
    }
    uint32_t frames = 0;
    while ((code = engine_decode_frame(context)) == 0 || code == VORTAX_INVALID_FRAME) {
        frames += code == 0;
        job.fraction = context->stream.fraction;
    }
    if (announce) std::fprintf(stderr, "%s, %u frames\n", StreamLine(context->stream).c_str(), frames);
    output_command(context, COMMAND_DRAIN, 0, 0);
    output_close(context);
    input_close(context);
    engine_destroy(context);
    std::error_code error;
    if (code != VORTAX_INPUT_END || frames == 0) {
        job.error = code == VORTAX_WRITE_FAILED ? Join({"cannot write ", job.path, ": ", error_name(code)})
                    : frames == 0           ? std::string("no MPEG audio frames in it")
                                            : std::string(error_name(code));
        if (!direct) fs::remove(temporary, error);
        return;
    }
    if (!direct) fs::rename(temporary, job.path, error);
    if (error) job.error = Join({"cannot name the output ", job.path, ": ", error.message()});
}

int Scan(const Options& options, const std::string& input) {
    int32_t nowhere = 0;
    std::string error;
    // Gapless, so that the samples counted are the stream's exact length.
    EngineContext* context = OpenEngine(options, input, Nowhere, true, nowhere, error);
    if (!context) {
        std::fprintf(stderr, "vortax-decode: %s: %s\n", input.c_str(), error.c_str());
        return 1;
    }
    int32_t code = 0;
    output_select(context, "", nowhere);
    output_open(context);
    uint32_t frames = 0;
    int64_t samples = 0;
    while ((code = engine_decode_frame(context)) == 0 || code == VORTAX_INVALID_FRAME) {
        ++frames;
        if (code == 0) samples += context->pcm.size / 2 / (context->pcm.stereo ? 2 : 1);
    }
    std::printf("%s\nframes %u duration %d\n", StreamLine(context->stream).c_str(), frames, context->input.duration);
    int32_t delay = 0;
    int32_t padding = 0;
    if (engine_get_encoder_tag(context, &delay, &padding) == 0) std::printf("samples %lld\n", static_cast<long long>(samples));
    engine_destroy(context);
    return code == VORTAX_INPUT_END ? 0 : 1;
}

// Progress: a bar that redraws itself on a terminal, a line per finished file elsewhere.
class Progress {
public:
    Progress(std::vector<Job>& jobs, std::mutex& lock)
        : jobs_(jobs), lock_(lock), terminal_(::isatty(2)), reported_(jobs.size(), false) {}

    void Show(bool last) {
        std::lock_guard<std::mutex> hold(lock_);
        for (size_t i = 0; i < jobs_.size(); ++i) {
            if (!jobs_[i].finished || reported_[i]) continue;
            reported_[i] = true;
            if (terminal_) std::fputs("\r\033[K", stderr);
            if (jobs_[i].error.empty())
                std::fprintf(stderr, "converted %s\n", jobs_[i].path.c_str());
            else
                std::fprintf(stderr, "vortax-decode: %s: %s\n", jobs_[i].input.c_str(), jobs_[i].error.c_str());
        }
        if (!terminal_ || last) return;
        double overall = 0;
        std::string current;
        for (const Job& job : jobs_) {
            overall += job.finished ? 1.0 : job.fraction;
            if (!job.finished && job.fraction > 0) current = job.input;
        }
        overall /= static_cast<double>(jobs_.size());
        const int width = 30;
        const int filled = static_cast<int>(overall * width);
        std::fprintf(stderr, "\r\033[K[%.*s%*s] %3d%%  %s", filled, "##############################", width - filled, "",
                     static_cast<int>(overall * 100), fs::path(current).filename().c_str());
        std::fflush(stderr);
    }

private:
    std::vector<Job>& jobs_;
    std::mutex& lock_;
    bool terminal_;
    std::vector<bool> reported_;
};

int ConvertAll(const Options& options, std::vector<Job> jobs) {
    if (!options.folder.empty()) {
        std::error_code error;
        fs::create_directories(options.folder, error);
    }
    std::mutex lock;
    std::atomic<size_t> next{0};
    unsigned workers = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    workers = std::min<unsigned>(workers, static_cast<unsigned>(jobs.size()));
    std::vector<std::thread> threads;
    for (unsigned w = 0; w < workers; ++w)
        threads.emplace_back([&] {
            for (size_t i; (i = next++) < jobs.size();) {
                Convert(options, jobs[i], false);
                std::lock_guard<std::mutex> hold(lock);
                jobs[i].finished = true;
            }
        });
    Progress progress(jobs, lock);
    while (true) {
        bool done = true;
        {
            std::lock_guard<std::mutex> hold(lock);
            for (const Job& job : jobs) done = done && job.finished;
        }
        if (done) break;
        progress.Show(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (std::thread& thread : threads) thread.join();
    progress.Show(true);
    const auto failed = std::count_if(jobs.begin(), jobs.end(), [](const Job& job) { return !job.error.empty(); });
    std::fprintf(stderr, "%zu converted, %ld failed\n", jobs.size() - static_cast<size_t>(failed), static_cast<long>(failed));
    return failed == 0 ? 0 : 1;
}

// The sound devices, one a line: the number for --device, the name, the description.
int ListDevices() {
    EngineContext* context = nullptr;
    if (engine_create(&context) < 0) return 1;
    const int32_t module = register_output_module(context, &SoundDeviceOutputModule);
    ModuleInfo info{};
    int32_t code = output_module_info(context, module, &info, MODULE_INFO_COUNT);
    const int32_t count = info.index;
    for (int32_t device = 0; code >= 0 && device < count; ++device) {
        info = ModuleInfo{};
        info.index = device;
        code = output_module_info(context, module, &info, MODULE_INFO_DEVICE);
        if (code >= 0) std::printf("%d  %s  %s\n", device, info.name, info.description);
    }
    engine_destroy(context);
    if (code >= 0) return 0;
    std::fprintf(stderr, "vortax-decode: cannot list the sound devices: %s\n", error_name(code));
    return 1;
}

// Plays the file on sound device N to its end: closing the output waits until the device
// has played the last block.
int Play(const Options& options, const std::string& input) {
    int32_t sound = 0;
    std::string error;
    EngineContext* context = OpenEngine(options, input, SoundDeviceOutputModule, options.gapless, sound, error);
    if (!context) {
        std::fprintf(stderr, "vortax-decode: %s: %s\n", input.c_str(), error.c_str());
        return 1;
    }
    const std::string device = Join({"/dev/wave/", std::to_string(options.device)});
    int32_t code = output_select(context, device.c_str(), sound);
    if (code >= 0) code = output_open(context);
    if (code < 0) {
        std::fprintf(stderr, "vortax-decode: cannot play on %s: %s\n", device.c_str(), error_name(code));
        engine_destroy(context);
        return 1;
    }
    uint32_t frames = 0;
    while ((code = engine_decode_frame(context)) == 0 || code == VORTAX_INVALID_FRAME) frames += code == 0;
    std::fprintf(stderr, "%s, %u frames\n", StreamLine(context->stream).c_str(), frames);
    output_close(context);
    input_close(context);
    engine_destroy(context);
    return code == VORTAX_INPUT_END ? 0 : 1;
}

int Usage2(const char* message) {
    std::fprintf(stderr, "vortax-decode: %s\n", message);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("vortax-decode, VORTAX engine %s\n", engine_get_version(nullptr, nullptr, nullptr));
            return 0;
        }
        if (arg == "--mono-left") {
            options.channels = 1;
        } else if (arg == "--mono-right") {
            options.channels = 2;
        } else if (arg == "--downmix") {
            options.channels = 3;
        } else if (arg == "--half") {
            options.reduction = 1;
        } else if (arg == "--quarter") {
            options.reduction = 2;
        } else if (arg == "--no-gapless") {
            options.gapless = false;
        } else if (arg == "--scan") {
            options.scan = true;
        } else if (arg == "--list-devices") {
            return ListDevices();
        } else if (arg == "--play") {
            options.play = true;
        } else if (arg == "--device") {
            const std::string_view number = hasValue ? argv[++i] : "";
            if (number.empty() || number.size() > 4 || number.find_first_not_of("0123456789") != std::string_view::npos)
                return Usage2("--device takes a device number (see --list-devices)");
            options.device = std::atoi(number.data());
        } else if (arg == "-o") {
            if (!hasValue) return Usage2("-o takes a folder");
            options.folder = argv[++i];
        } else if (arg == "-j") {
            const int jobs = hasValue ? std::atoi(argv[i + 1]) : 0;
            if (jobs < 1) return Usage2("-j takes a number of files to convert at once");
            options.jobs = static_cast<unsigned>(jobs);
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "vortax-decode: unknown option %s\n", argv[i]);
            return 2;
        } else {
            names.emplace_back(arg);
        }
    }
    if (names.empty()) return Usage2("expected IN [OUT], FILE..., or --scan FILE (try --help)");
    if (options.scan) return names.size() == 1 ? Scan(options, names[0]) : Usage2("--scan takes one file");
    if (options.play) return names.size() == 1 ? Play(options, names[0]) : Usage2("--play takes one file");

    // Two names make IN OUT unless both are MPEG audio files; -o or more names make a batch.
    const bool batch = !options.folder.empty() || options.jobs != 0 || names.size() > 2 ||
                       (names.size() == 2 && IsMpegName(names[0]) && IsMpegName(names[1]));
    if (!batch) {
        Job job = JobFor(names[0], names.size() == 2 ? names[1] : "", "");
        Convert(options, job, true);
        if (job.error.empty()) return 0;
        std::fprintf(stderr, "vortax-decode: %s: %s\n", job.input.c_str(), job.error.c_str());
        return 1;
    }
    std::vector<Job> jobs;
    for (const std::string& name : names) jobs.push_back(JobFor(name, "", options.folder));
    return ConvertAll(options, std::move(jobs));
}
