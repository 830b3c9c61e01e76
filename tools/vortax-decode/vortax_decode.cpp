// vortax-decode: the engine's command-line decoder.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "vortax.h"

namespace {

constexpr const char* Usage =
    "usage: vortax-decode [OPTIONS] IN [OUT]\n"
    "       vortax-decode --scan FILE\n"
    "       vortax-decode [OPTIONS] --play FILE [--device N]\n"
    "       vortax-decode --list-devices\n"
    "\n"
    "Decodes the MPEG audio stream IN (\"-\" for standard input) to OUT: a WAV file by\n"
    "default, raw PCM with a \"raw:\" prefix, raw PCM on standard output as \"-\" (\"wav:-\"\n"
    "for a WAV stream there). Without OUT the WAV file is IN with its extension replaced by\n"
    ".wav. The stream line goes to standard error.\n"
    "\n"
    "  --mono-left    keep only the first channel\n"
    "  --mono-right   keep only the second channel\n"
    "  --downmix      average both channels into one\n"
    "  --half         halve the sampling rate (at 32 kHz and up)\n"
    "  --quarter      quarter the sampling rate (at 32 kHz and up; halve at 16 kHz and up)\n"
    "  --scan FILE    read every frame of FILE and print what the stream is, then\n"
    "                 'frames N duration S' (confirmed frames, whole seconds)\n"
    "  --play FILE    play FILE on a sound device (N of --list-devices, 0 the default\n"
    "                 device, with --device N) and end when the device has played it\n"
    "  --list-devices list the sound devices: number, name and description\n"
    "  --help         show this text\n";

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
    bool scan = false;
    bool play = false;
    int device = 0;  // --device: 0 the default sound device
    std::string input;
    std::string output;
};

// OUT as the file module names it: a WAV file unless it says otherwise.
std::string OutputName(const std::string& out) {
    if (out == "-" || out.rfind("raw:", 0) == 0 || out.rfind("wav:", 0) == 0) return out;
    return "wav:" + out;
}

// The WAV file beside the input: its name with the extension replaced.
std::string OutputBeside(const std::string& input) {
    const size_t slash = input.rfind('/');
    const size_t dot = input.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return "wav:" + (hasExtension ? input.substr(0, dot) : input) + ".wav";
}

int Fail(EngineContext* context, const std::string& what, int32_t code) {
    std::fprintf(stderr, "vortax-decode: %s: %s\n", what.c_str(), error_name(code));
    engine_destroy(context);
    return 1;
}

int Run(const Options& options) {
    EngineContext* context = nullptr;
    if (engine_create(&context) < 0) return 1;
    register_input_module(context, &FileInputModule);
    const int32_t output = register_output_module(context, options.scan ? &Nowhere : &FileOutputModule);
    engine_set_channels(context, options.channels);
    engine_set_reduction(context, options.reduction);
    int32_t code = input_select(context, options.input.c_str(), -1);
    if (code >= 0) code = input_open(context);
    if (code < 0) return Fail(context, "cannot open " + options.input, code);
    const std::string target = options.scan ? "" : options.output.empty() ? OutputBeside(options.input) : OutputName(options.output);
    code = output_select(context, target.c_str(), output);
    if (code >= 0) code = output_open(context);
    if (code < 0) return Fail(context, "cannot write " + target, code);

    uint32_t frames = 0;
    while ((code = engine_decode_frame(context)) == 0 || code == VORTAX_INVALID_FRAME) ++frames;
    if (code == VORTAX_WRITE_FAILED) {
        output_close(context);
        return Fail(context, "cannot write " + target, code);
    }
    if (options.scan) {
        std::printf("%s\nframes %u duration %d\n", StreamLine(context->stream).c_str(), frames, context->input.duration);
    } else {
        std::fprintf(stderr, "%s, %u frames\n", StreamLine(context->stream).c_str(), frames);
        output_command(context, COMMAND_DRAIN, 0, 0);
        output_close(context);
    }
    input_close(context);
    engine_destroy(context);
    return code == VORTAX_INPUT_END ? 0 : 1;
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
int Play(const Options& options) {
    EngineContext* context = nullptr;
    if (engine_create(&context) < 0) return 1;
    register_input_module(context, &FileInputModule);
    const int32_t sound = register_output_module(context, &SoundDeviceOutputModule);
    engine_set_channels(context, options.channels);
    engine_set_reduction(context, options.reduction);
    int32_t code = input_select(context, options.input.c_str(), -1);
    if (code >= 0) code = input_open(context);
    if (code < 0) return Fail(context, "cannot open " + options.input, code);
    const std::string device = "/dev/wave/" + std::to_string(options.device);
    code = output_select(context, device.c_str(), sound);
    if (code >= 0) code = output_open(context);
    if (code < 0) return Fail(context, "cannot play on " + device, code);
    uint32_t frames = 0;
    while ((code = engine_decode_frame(context)) == 0 || code == VORTAX_INVALID_FRAME) frames += code == 0;
    std::fprintf(stderr, "%s, %u frames\n", StreamLine(context->stream).c_str(), frames);
    output_close(context);
    input_close(context);
    engine_destroy(context);
    return code == VORTAX_INPUT_END ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            std::fputs(Usage, stdout);
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
        } else if (arg == "--scan") {
            options.scan = true;
        } else if (arg == "--list-devices") {
            return ListDevices();
        } else if (arg == "--play") {
            options.play = true;
        } else if (arg == "--device") {
            const std::string_view number = i + 1 < argc ? argv[++i] : "";
            if (number.empty() || number.size() > 4 || number.find_first_not_of("0123456789") != std::string_view::npos) {
                std::fprintf(stderr, "vortax-decode: --device takes a device number (see --list-devices)\n");
                return 2;
            }
            options.device = std::atoi(number.data());
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "vortax-decode: unknown option %s\n", argv[i]);
            return 2;
        } else {
            names.emplace_back(arg);
        }
    }
    if (names.empty() || names.size() > (options.scan || options.play ? 1u : 2u)) {
        std::fprintf(stderr, "vortax-decode: expected IN [OUT], or --scan FILE (try --help)\n");
        return 2;
    }
    options.input = names[0];
    if (names.size() == 2) options.output = names[1];
    return options.play ? Play(options) : Run(options);
}
