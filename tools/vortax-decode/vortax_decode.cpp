// vortax-decode: the engine's command-line decoder, for one file or many.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "mpeg_names.h"
#include "part_files.h"
#include "stream_line.h"
#include "vortax.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* Usage =
    "usage: vortax-decode [OPTIONS] [--] IN [OUT]\n"
    "       vortax-decode [OPTIONS] [-o DIR] [-j N] [--] FILE|FOLDER...\n"
    "       vortax-decode --scan FILE\n"
    "       vortax-decode [OPTIONS] --play FILE [--device N]\n"
    "       vortax-decode --list-devices\n"
    "\n"
    "Decodes the MPEG audio stream IN (\"-\" for standard input) to OUT: a WAV file by\n"
    "default, or by its prefix raw PCM (\"raw:\"), WAV (\"wav:\"), AIFF (\"aiff:\") or Sun/NeXT\n"
    ".snd (\"sun:\"). OUT \"-\" is raw PCM on standard output; \"wav:-\", \"aiff:-\" and \"sun:-\"\n"
    "write their format there. A name with one of these prefixes is always OUT.\n"
    "Without OUT the WAV file is IN with its extension replaced by .wav; standard input\n"
    "has no name, so it needs an OUT.\n"
    "\n"
    "Given several MPEG audio files (.mp1 .mp2 .mp3 .mpa .mpg, in any case), a folder,\n"
    "-o or -j, each file becomes NAME.wav in DIR, or beside its source without -o. A\n"
    "folder stands for every MPEG audio file below it, in sorted order; under -o its tree\n"
    "is kept as DIR/FOLDER/SUB/NAME.wav, FOLDER being the folder's own name. DIR and its\n"
    "subfolders are made as needed. Two inputs that would write the same file stop the\n"
    "run before anything is written. Links to folders are followed, each folder once by\n"
    "its first name in sorted order; an unreadable folder fails and the rest goes on.\n"
    "\n"
    "A file is written under a short temporary name (.vortax-*.part) in its folder and\n"
    "gets its own name only when complete: a conversion that fails or is stopped by\n"
    "SIGINT or SIGTERM (which remove the temporary files) leaves an earlier file of that\n"
    "name as it was. Nothing is written for an input that cannot be read, and no input\n"
    "is ever overwritten. Tags are skipped wherever they are in the stream; a stream\n"
    "whose format changes is written in its first format, with one warning. A WAV\n"
    "file gets the title, artist, album, track, date, genre and comment of the input's\n"
    "tags (ID3v2, APE, ID3v1) in a LIST chunk, and its ID3v2 tag in an \"id3 \" chunk.\n"
    "\n"
    "Besides MPEG audio files it decodes the MPEG audio in a WAV file and the first MPEG\n"
    "audio stream of an MPEG-1 or MPEG-2 program stream (.mpg; video is passed over).\n"
    "Other formats are named and refused (exit 1, nothing written): PCM WAV, FLAC, Ogg,\n"
    "MP4/M4A, Matroska/WebM, AAC (ADTS), MPEG transport streams, AIFF and Sun .snd. A\n"
    "stream starts only where a run of frames shows it, so bytes that merely look like a\n"
    "frame header are never decoded as audio.\n"
    "\n"
    "  -o DIR         write the WAV files into DIR\n"
    "  -j N           convert N files at once, 1 to 64 (default: one per processor)\n"
    "  --mono-left    keep only the first channel\n"
    "  --mono-right   keep only the second channel\n"
    "  --downmix      average both channels into one\n"
    "  --half         halve the sampling rate (at 32 kHz and up)\n"
    "  --quarter      quarter the sampling rate (at 32 kHz and up; halve at 16 kHz and up)\n"
    "  --no-gapless   keep the encoder's delay and padding (by default a stream whose\n"
    "                 encoder says how much it added decodes to exactly the audio encoded)\n"
    "  --scan FILE    read every frame of FILE and print what the stream is, then\n"
    "                 'frames N duration S' (the frames read and the whole seconds of their\n"
    "                 audio, from a pipe too) and, when the encoder's tag gives it,\n"
    "                 'samples N' (the exact length per channel), then a 'KEY: VALUE'\n"
    "                 line for each tag found (title, artist, album, track, date,\n"
    "                 genre, comment)\n"
    "  --no-tags      leave the input's tags out of the WAV files and of --scan\n"
    "  --play FILE    play FILE on a sound device (N of --list-devices, 0 the default\n"
    "                 device, with --device N) and end when the device has played it\n"
    "  --list-devices list the sound devices: number, name and description\n"
    "  --help         show this text\n"
    "  --version      show the engine's version\n"
    "  --             end the options: every later argument is a name\n"
    "\n"
    "Exit status: 0 when every file was converted, 1 when any was not, 2 for a usage error.\n";

// The most files converted at once: each has a place in the table of temporary files.
constexpr unsigned MaxJobs = 64;

constexpr const char* NoAudio = "no MPEG audio frames in it";

std::string StreamLine(const StreamInfo& stream) { return vortax::StreamLine(stream, vortax::StreamWords::Plain); }

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
    bool tags = true;
    bool scan = false;
    bool play = false;
    int device = 0;      // --device: 0 the default sound device
    std::string folder;  // -o
    unsigned jobs = 0;   // -j; 0: one per processor
};

// One conversion: the input, the engine's output format, and the file it becomes.
struct Job {
    std::string input{};
    const char* format = "wav:";  // or another of OutputPrefixes
    std::string path{};   // the final file, or "-"; empty for a job that failed while planned
    std::string error{};  // why it failed, empty when it did not
    float fraction = 0;  // how far it has come
    bool finished = false;
};

// Pieces of text joined (g++ 12 warns falsely about chains of std::string +).
std::string Join(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (std::string_view piece : pieces) text += piece;
    return text;
}

// One whole line on standard error, clearing a progress bar first on a terminal. A single
// call, so that lines written by several conversions at once stay whole.
void Say(const std::string& line) { std::fprintf(stderr, "%s%s\n", ::isatty(2) ? "\r\033[K" : "", line.c_str()); }

void Report(const std::string& input, std::string_view problem) { Say(Join({"vortax-decode: ", input, ": ", problem})); }

void Complain(std::string_view message) { Say(Join({"vortax-decode: ", message})); }

int Usage2(std::string_view message) {
    Complain(message);
    return 2;
}

// The names the engine's notifications come with: `user` of a context is the index of its
// input here. Filled before the first context is made and not changed after.
std::vector<std::string> InputNames;

// What the engine said of the last input it turned away on this thread: the format it is.
thread_local std::string Refusal;

// The engine reports its own errors through the return codes the program reports; a change
// of the stream's format, which the engine converts away, is told here, and what an input
// turned away is kept for its report.
void Notice(uint32_t user, int32_t, int32_t, const char* message, const char* detail) {
    if (!message || !detail || user >= InputNames.size()) return;
    if (std::strcmp(message, "unsupported input format") == 0) Refusal = detail;
    if (std::strcmp(message, "stream format changed") == 0)
        Report(InputNames[user], Join({"warning: the stream format changes ", detail}));
}

// MPEG audio files by their extension, in any case.
bool IsMpegName(const fs::path& name) {
    std::string extension = name.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string_view bare = std::string_view(extension).substr(extension.empty() ? 0 : 1);  // the dot off
    return std::find(std::begin(vortax::MpegExtensions), std::end(vortax::MpegExtensions), bare) !=
           std::end(vortax::MpegExtensions);
}

// The engine's output formats, which only ever name an output.
constexpr const char* OutputPrefixes[] = {"raw:", "wav:", "aiff:", "sun:"};

// The format prefix `name` starts with, or null.
const char* OutputPrefix(std::string_view name) {
    for (const char* prefix : OutputPrefixes)
        if (name.starts_with(prefix)) return prefix;
    return nullptr;
}

bool IsOutputName(std::string_view name) { return OutputPrefix(name) != nullptr; }

bool IsFolder(const std::string& name) {
    std::error_code error;
    return fs::is_directory(name, error);
}

// What a run of several files takes as an input, so that two of them are not IN OUT.
bool IsBatchInput(const std::string& name) { return !IsOutputName(name) && (IsMpegName(name) || IsFolder(name)); }

// A name the system refuses for its length, whether or not it exists.
bool NameTooLong(const std::string& name) {
    std::error_code error;
    static_cast<void>(fs::symlink_status(name, error));  // only whether it can be asked matters
    return error == std::errc::filename_too_long;
}

// The WAV file of an input: in DIR of -o at `below` (the input's place in a folder tree
// kept there), or beside the input.
std::string WavPathFor(const fs::path& input, const fs::path& below, const std::string& folder) {
    fs::path wav = folder.empty() ? input : folder / below;
    return wav.replace_extension(".wav").string();
}

// The job of IN [OUT].
Job JobFor(const std::string& input, const std::string& out) {
    Job job{.input = input};
    if (out.empty()) {
        job.path = WavPathFor(input, {}, "");
    } else if (const char* prefix = OutputPrefix(out)) {
        job.format = prefix;
        job.path = out.substr(std::strlen(prefix));
    } else {
        if (out == "-") job.format = "raw:";  // a pipe cannot take back a WAV header
        job.path = out;
    }
    return job;
}

// What a folder holds for a batch: an MPEG audio file, or a folder or an entry that could
// not be read, with why.
struct Found {
    fs::path path;
    std::string error{};
};

// The real folders walked, by device and inode: each is walked once however many links lead
// to it, so a link up the tree ends there.
using Walked = std::set<std::pair<dev_t, ino_t>>;

void Walk(const fs::path& folder, Walked& walked, std::vector<Found>& found);

// Adds what `path` holds to `found`, following links; false for a folder walked before.
bool Visit(const fs::path& path, Walked& walked, std::vector<Found>& found) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        // A link to nothing or round to itself, or an entry gone since listed, holds nothing.
        if (errno != ENOENT && errno != ELOOP) found.push_back({path, Join({"cannot examine it: ", std::strerror(errno)})});
        return true;
    }
    if (S_ISREG(info.st_mode) && IsMpegName(path)) found.push_back({path});
    if (!S_ISDIR(info.st_mode)) return true;
    if (!walked.emplace(info.st_dev, info.st_ino).second) return false;
    Walk(path, walked, found);
    return true;
}

// Entries in sorted order, each walked before the next: the files come out sorted by path.
void Walk(const fs::path& folder, Walked& walked, std::vector<Found>& found) {
    std::error_code error;
    std::vector<fs::path> entries;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error))
        entries.push_back(entry->path());
    if (error) {
        found.push_back({folder, Join({"cannot read the folder: ", error.message()})});
        return;
    }
    std::sort(entries.begin(), entries.end());
    for (const fs::path& entry : entries) Visit(entry, walked, found);
}

// A folder's name in the output tree: the name it was given by, a link's own, and the real
// one for "." and "..".
fs::path TreeName(const std::string& name) {
    fs::path last = fs::path(name).lexically_normal();
    if (!last.has_filename()) last = last.parent_path();
    last = last.filename();
    std::error_code error;
    return last == "." || last == ".." ? fs::weakly_canonical(name, error).filename() : last;
}

// The jobs of several files: each file, and every MPEG audio file below each folder in
// sorted order, kept under -o in a folder of the folder's own name. A folder that cannot
// be read is a failed job; one reached again, through a link or named twice, adds nothing.
std::vector<Job> BatchJobs(const std::vector<std::string>& names, const std::string& folder) {
    std::vector<Job> jobs;
    Walked walked;
    for (const std::string& name : names) {
        if (!IsFolder(name)) {
            jobs.push_back(Job{.input = name, .path = WavPathFor(name, fs::path(name).filename(), folder)});
            continue;
        }
        std::vector<Found> found;
        if (!Visit(name, walked, found)) continue;
        if (found.empty()) jobs.push_back(Job{.input = name, .error = "no MPEG audio files in this folder"});
        const fs::path tree = TreeName(name);
        for (const Found& each : found) {
            const std::string wav = each.error.empty() ? WavPathFor(each.path, tree / each.path.lexically_relative(name), folder) : "";
            jobs.push_back(Job{.input = each.path.string(), .path = wav, .error = each.error});
        }
    }
    return jobs;
}

fs::path Normal(const std::string& name) {
    std::error_code error;
    const fs::path normal = fs::weakly_canonical(name, error);
    return error ? fs::path(name).lexically_normal() : normal;
}

// Two inputs that would write one file, or an input that another would be written over,
// are refused before anything is written: 2 then, 0 when there are none.
int RefuseClashes(const std::vector<Job>& jobs) {
    std::map<fs::path, const Job*> inputs;
    std::map<fs::path, const Job*> outputs;
    for (const Job& job : jobs)
        if (job.input != "-") inputs.emplace(Normal(job.input), &job);
    int refused = 0;
    for (const Job& job : jobs) {
        if (job.path.empty() || job.path == "-") continue;
        const fs::path output = Normal(job.path);
        if (const auto [other, added] = outputs.emplace(output, &job); !added) {
            refused = Usage2(Join({other->second->input, " and ", job.input, " would both be written to ", job.path}));
        } else if (const auto input = inputs.find(output); input != inputs.end() && input->second != &job) {
            refused = Usage2(Join({job.input, " would be written over ", input->second->input, ", another input"}));
        }
    }
    return refused;
}

// A device or a pipe is written as it is; only a file gets a temporary name.
bool WrittenDirectly(const std::string& path) {
    std::error_code error;
    return path == "-" || (fs::exists(path, error) && !fs::is_regular_file(path, error));
}

fs::path FolderOf(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? "." : folder;
}

std::string CannotWriteInto(const fs::path& folder, std::string_view reason) {
    return Join({"cannot write into the folder ", folder.string(), ": ", reason});
}

// Makes the folders of -o and checks that every output folder can be written, before
// anything is converted; false, having said why for the first that cannot.
bool PrepareFolders(const Options& options, const std::vector<Job>& jobs) {
    // Sorted, -o DIR comes before its subfolders and is the one named when it cannot be made.
    std::set<fs::path> folders;
    if (!options.folder.empty()) folders.insert(options.folder);
    for (const Job& job : jobs)
        if (!job.path.empty() && !WrittenDirectly(job.path)) folders.insert(FolderOf(job.path));
    for (const fs::path& folder : folders) {
        std::error_code error;
        if (!options.folder.empty()) fs::create_directories(folder, error);
        if (error) {
            Complain(Join({"cannot make the folder ", folder.string(), ": ", error.message()}));
            return false;
        }
        if (::access(folder.c_str(), W_OK | X_OK) != 0) {
            Complain(CannotWriteInto(folder, std::strerror(errno)));
            return false;
        }
    }
    return true;
}

// The temporary files being written, in a table fixed before any is made: SIGINT and
// SIGTERM remove them, and a signal handler can do little more than unlink and raise.
struct Temporary {
    std::atomic<bool> armed{false};
    char path[PATH_MAX];
};
// Initialised when the program is loaded, so that its pages stay untouched until used.
constinit Temporary Temporaries[MaxJobs]{};

void RemoveTemporaries(int signal) {
    for (Temporary& temporary : Temporaries)
        if (temporary.armed) ::unlink(temporary.path);
    // The handler was reset on entry: the program now ends as the signal says it should.
    ::raise(signal);
}

void RemoveTemporariesOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporaries;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    for (const int signal : {SIGINT, SIGTERM}) {
        // A signal ignored from the start, as in a background job of a shell, stays ignored.
        struct sigaction old {};
        if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) sigaction(signal, &action, nullptr);
    }
}

// Finds a temporary name in `folder` for the output, recorded in `slot`; 0, or errno when
// it cannot.
int MakeTemporary(const fs::path& folder, Temporary& slot, std::string& path) {
    // Recorded before the file exists: a file of this name that is there already is a
    // leftover of an earlier process of this number, which may go. A name too long for the
    // slot is too long for the system too, and no file is made.
    const auto record = [&slot](const fs::path& name) {
        if (name.native().size() >= sizeof slot.path) return;
        std::memcpy(slot.path, name.c_str(), name.native().size() + 1);
        slot.armed = true;
    };
    fs::path temporary;
    const int error = vortax::ClaimPartName(folder, ".vortax-", temporary, record);
    path = temporary.string();
    if (error) slot.armed = false;
    return error;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return fs::exists(b, error) && fs::equivalent(a, b, error);
}

// A context with the file input, one output module and the options set, and input number
// `user` of InputNames open; null, with the reason in `error`, when it cannot be read.
EngineContext* OpenEngine(const Options& options, uint32_t user, const OutputMethods& output, bool gapless,
                          int32_t& outputId, std::string& error) {
    const std::string& input = InputNames[user];
    if (IsFolder(input)) {
        error = "is a folder, not an MPEG audio file";
        return nullptr;
    }
    if (NameTooLong(input)) {
        error = "the name is too long";
        return nullptr;
    }
    EngineContext* context = nullptr;
    if (const int32_t code = engine_create(&context); code < 0) {
        error = error_name(code);
        return nullptr;
    }
    context->user = user;
    context->notify = Notice;
    register_input_module(context, &FileInputModule);
    outputId = register_output_module(context, &output);
    engine_set_channels(context, options.channels);
    engine_set_reduction(context, options.reduction);
    engine_set_gapless(context, gapless);
    engine_set_tags(context, options.tags);
    int32_t code = input_select(context, input.c_str(), -1);
    if (code >= 0) code = input_open(context);
    if (code >= 0) return context;
    error = code == VORTAX_UNSUPPORTED_FORMAT ? Refusal : Join({"cannot open input: ", error_name(code)});
    engine_destroy(context);
    return nullptr;
}

std::string CannotWrite(const std::string& path, std::string_view reason) { return Join({"cannot write ", path, ": ", reason}); }

// Converts input number `user`. The output goes to a temporary file beside its final one,
// recorded in `slot`, and is renamed when complete; a failure leaves nothing under the
// final name and an earlier file of that name as it was.
void Convert(const Options& options, Job& job, uint32_t user, Temporary& slot, bool announce) {
    if (!job.error.empty()) return;  // found while planning
    if (job.path != "-" && job.input != "-" && SameFile(job.input, job.path)) {
        job.error = "the output would overwrite the input";
        return;
    }
    if (NameTooLong(job.path)) {
        job.error = CannotWrite(job.path, "the name is too long");
        return;
    }
    // The input is opened before any output exists, so a file that cannot be read leaves
    // nothing behind.
    int32_t output = 0;
    EngineContext* context = OpenEngine(options, user, FileOutputModule, options.gapless, output, job.error);
    if (!context) return;
    const bool direct = WrittenDirectly(job.path);
    std::string temporary = job.path;
    if (!direct) {
        if (const int error = MakeTemporary(FolderOf(job.path), slot, temporary)) {
            job.error = CannotWriteInto(FolderOf(job.path), std::strerror(error));
            engine_destroy(context);
            return;
        }
    }
    int32_t code = output_select(context, Join({job.format, temporary}).c_str(), output);
    if (code >= 0) code = output_open(context);
    const bool opened = code >= 0;
    uint32_t frames = 0;
    if (opened) {
        while ((code = engine_decode_frame(context)) == 0 || code == VORTAX_INVALID_FRAME) {
            frames += code == 0;
            job.fraction = context->stream.fraction;
        }
        if (announce && frames > 0) std::fprintf(stderr, "%s, %u frames\n", StreamLine(context->stream).c_str(), frames);
        output_set_control(context, nullptr, VORTAX_COMMAND_DRAIN);
        // What stayed in a buffer reaches the file only now, and can fail to.
        if (const int32_t closed = output_close(context); closed < 0 && code == VORTAX_INPUT_END) code = closed;
    }
    input_close(context);
    engine_destroy(context);
    if (!opened || code == VORTAX_WRITE_FAILED)
        job.error = CannotWrite(job.path, error_name(code));
    else if (frames == 0)
        job.error = NoAudio;
    else if (code != VORTAX_INPUT_END)
        job.error = error_name(code);
    if (direct) return;
    std::error_code error;
    if (job.error.empty() && (error = vortax::CompletePart(temporary, job.path)))
        job.error = Join({"cannot name the output ", job.path, ": ", error.message()});
    if (!job.error.empty()) fs::remove(temporary, error);
    slot.armed = false;
}

// The tags the engine read, one "key: value" line each.
void PrintTags(EngineContext* context) {
    for (const char* key : {"title", "artist", "album", "track", "date", "genre", "comment"}) {
        std::string value(64, '\0');
        int length = vortax_get_tag(context, key, value.data(), value.size());
        if (length >= static_cast<int>(value.size())) {
            value.resize(static_cast<size_t>(length) + 1);
            length = vortax_get_tag(context, key, value.data(), value.size());
        }
        if (length >= 0) std::printf("%s: %.*s\n", key, length, value.c_str());
    }
}

int Scan(const Options& options) {
    const std::string& input = InputNames[0];
    int32_t nowhere = 0;
    std::string error;
    // Gapless, so that the samples counted are the stream's exact length.
    EngineContext* context = OpenEngine(options, 0, Nowhere, true, nowhere, error);
    if (!context) {
        Report(input, error);
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
    if (frames == 0) {
        engine_destroy(context);
        Report(input, NoAudio);
        return 1;
    }
    // The output keeps the first format, so the samples counted tell the duration at its rate.
    const auto seconds = static_cast<long long>(samples / std::max(1, context->pcm.frequency));
    std::printf("%s\nframes %u duration %lld\n", StreamLine(context->stream).c_str(), frames, seconds);
    int32_t delay = 0;
    int32_t padding = 0;
    if (engine_get_encoder_tag(context, &delay, &padding) == 0) std::printf("samples %lld\n", static_cast<long long>(samples));
    if (options.tags) PrintTags(context);
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
            if (jobs_[i].error.empty())
                Say(Join({"converted ", jobs_[i].path}));
            else
                Report(jobs_[i].input, jobs_[i].error);
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

int ConvertAll(const Options& options, std::vector<Job>& jobs) {
    std::mutex lock;
    std::atomic<size_t> next{0};
    const unsigned workers = std::min({options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency()),
                                       MaxJobs, static_cast<unsigned>(jobs.size())});
    std::vector<std::thread> threads;
    for (unsigned w = 0; w < workers; ++w)
        threads.emplace_back([&, w] {
            for (size_t i; (i = next++) < jobs.size();) {
                Convert(options, jobs[i], static_cast<uint32_t>(i), Temporaries[w], false);
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
    int32_t code = output_module_info(context, module, &info, VORTAX_MODULE_INFO_COUNT);
    const int32_t count = info.index;
    for (int32_t device = 0; code >= 0 && device < count; ++device) {
        info = ModuleInfo{};
        info.index = device;
        code = output_module_info(context, module, &info, VORTAX_MODULE_INFO_DEVICE);
        if (code >= 0) std::printf("%d  %s  %s\n", device, info.name, info.description);
    }
    engine_destroy(context);
    if (code >= 0) return 0;
    Complain(Join({"cannot list the sound devices: ", error_name(code)}));
    return 1;
}

// Plays the file on sound device N to its end: closing the output waits until the device
// has played the last block.
int Play(const Options& options) {
    const std::string& input = InputNames[0];
    int32_t sound = 0;
    std::string error;
    EngineContext* context = OpenEngine(options, 0, SoundDeviceOutputModule, options.gapless, sound, error);
    if (!context) {
        Report(input, error);
        return 1;
    }
    const std::string device = Join({"/dev/wave/", std::to_string(options.device)});
    int32_t code = output_select(context, device.c_str(), sound);
    if (code >= 0) code = output_open(context);
    if (code < 0) {
        Complain(Join({"cannot play on ", device, ": ", error_name(code)}));
        engine_destroy(context);
        return 1;
    }
    uint32_t frames = 0;
    while ((code = engine_decode_frame(context)) == 0 || code == VORTAX_INVALID_FRAME) frames += code == 0;
    if (frames > 0) std::fprintf(stderr, "%s, %u frames\n", StreamLine(context->stream).c_str(), frames);
    output_close(context);
    input_close(context);
    engine_destroy(context);
    if (frames == 0) Report(input, NoAudio);
    return frames > 0 && code == VORTAX_INPUT_END ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::vector<std::string> names;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
            names.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("vortax-decode, VORTAX engine %s\n", engine_get_version(nullptr, nullptr, nullptr));
            return 0;
        } else if (arg == "--mono-left") {
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
        } else if (arg == "--no-tags") {
            options.tags = false;
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
            if (jobs < 1 || jobs > static_cast<int>(MaxJobs)) return Usage2("-j takes a number of files to convert at once, 1 to 64");
            options.jobs = static_cast<unsigned>(jobs);
            ++i;
        } else {
            return Usage2(Join({"unknown option ", arg}));
        }
    }
    if (names.empty()) return Usage2("expected IN [OUT], FILE..., or --scan FILE (try --help)");
    if (options.scan || options.play) {
        if (names.size() != 1) return Usage2(options.scan ? "--scan takes one file" : "--play takes one file");
        InputNames = names;
        return options.scan ? Scan(options) : Play(options);
    }

    // Two names make IN OUT unless both are inputs of a batch; a folder, -o, -j or more
    // names make a batch.
    const bool batch = !options.folder.empty() || options.jobs != 0 || names.size() > 2 ||
                       (names.size() == 2 && IsBatchInput(names[0]) && IsBatchInput(names[1])) ||
                       (names.size() == 1 && IsFolder(names[0]));
    for (size_t i = 0; i < (batch ? names.size() : 1); ++i) {
        if (IsOutputName(names[i])) return Usage2(Join({names[i], " names an output; a file of that name is ./", names[i]}));
        if (names[i] == "-" && (batch || names.size() == 1))
            return Usage2("standard input has no name to make the output's from: name the output, as in 'vortax-decode - out.wav'");
    }
    if (!batch && IsFolder(names[0]))
        return Usage2(Join({names[0], " is a folder: it converts to WAV files beside its own, or under -o DIR, not to OUT"}));
    std::vector<Job> jobs = batch ? BatchJobs(names, options.folder) : std::vector<Job>{JobFor(names[0], names.size() == 2 ? names[1] : "")};
    for (const Job& job : jobs) InputNames.push_back(job.input);
    if (const int refused = RefuseClashes(jobs)) return refused;
    if (!PrepareFolders(options, jobs)) return 1;
    RemoveTemporariesOnSignals();
    if (batch) return ConvertAll(options, jobs);
    Job& job = jobs[0];
    Convert(options, job, 0, Temporaries[0], true);
    if (job.error.empty()) return 0;
    Report(job.input, job.error);
    return 1;
}
