// Input from a file or standard input, output to a file or standard output (raw or WAV).
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "state.h"
#include "wav_header.h"

namespace vortax {

namespace {

// Output files are written through a buffer of this size, so that a stream of frames
// takes few system calls (the runtime's default buffer is smaller than one frame's PCM);
// standard output keeps the runtime's own.
constexpr size_t OutputBufferBytes = 32 * 1024;

struct FileInput {
    std::string name;
    int32_t id = 0;
    EngineContext* context = nullptr;
    FILE* file = nullptr;
};

enum Format { Raw = 0, Wav = 1, Aiff = 2, Sun = 3 };

struct FileOutput {
    std::string name;
    int32_t id = 0;
    EngineContext* context = nullptr;
    FILE* file = nullptr;
    std::unique_ptr<char[]> buffer;
    uint64_t written = 0;   // PCM bytes
    bool complete = true;  // every byte handed over went into the stream
    int32_t frequency = 44100;
    int32_t stereo = 1;
    Format format = Raw;
    bool headerWritten = false;
};

void Fill(ModuleInfo* info, const char* name, const char* description) {
    std::snprintf(info->name, sizeof info->name, "%s", name);
    std::snprintf(info->description, sizeof info->description, "%s", description);
}

struct Device {
    const char* name;
    const char* description;
    int32_t flags;
};

bool IsRegularFile(FILE* file) {
    struct stat status {};
    return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
}

int32_t Query(ModuleInfo* info, int32_t flags, const char* name, const Device* devices, int32_t count) {
    if (!info) return VORTAX_INVALID_PARAMETERS;
    if (flags & VORTAX_MODULE_INFO_NAME) Fill(info, name, "Version 1.2");
    if (flags & VORTAX_MODULE_INFO_COUNT) info->index = count;
    if (!(flags & VORTAX_MODULE_INFO_NAME) && (flags & VORTAX_MODULE_INFO_DEVICE)) {
        if (info->index < 0 || info->index >= count) return VORTAX_INVALID_PARAMETERS;
        const Device& device = devices[info->index];
        Fill(info, device.name, device.description);
        info->device_flags = device.flags;
    }
    return VORTAX_OK;
}

template <typename Instance>
int32_t New(void** instance, const char* name, const ModuleRecord* module, EngineContext* context, const char* detail) {
    if (!instance || !name || !*name || !module) {
        Notify(context, module ? module->id : 0, "internal error", detail);
        return VORTAX_INVALID_PARAMETERS;
    }
    auto* created = new (std::nothrow) Instance;
    if (!created) return VORTAX_OUT_OF_MEMORY;
    try {
        created->name = name;
    } catch (const std::bad_alloc&) {
        delete created;
        return VORTAX_OUT_OF_MEMORY;
    }
    created->id = module->id;
    created->context = context;
    *instance = created;
    return VORTAX_OK;
}

// Input.

constexpr Device InputDevices[] = {{"*", "any file name", VORTAX_DEVICE_PATTERN}, {"-", "standard input", 0}};

int32_t InputQuery(ModuleInfo* info, int32_t flags) { return Query(info, flags, "Input From File", InputDevices, 2); }

int32_t InputNew(void** instance, const char* name, const ModuleRecord* module, EngineContext* context) {
    return New<FileInput>(instance, name, module, context, "null params or null/empty input name");
}

int32_t InputDelete(void* instance) {
    delete static_cast<FileInput*>(instance);
    return VORTAX_OK;
}

int32_t InputOpen(void* instance) {
    auto* input = static_cast<FileInput*>(instance);
    if (input->name == "-") {
        input->file = stdin;
        return VORTAX_OK;
    }
    input->file = std::fopen(input->name.c_str(), "rb");
    if (input->file) return VORTAX_OK;
    const int error = errno;
    const char* detail = error == ENOENT ? "file not found" : error == EACCES ? "permission denied" : std::strerror(error);
    Notify(input->context, input->id, "cannot open input file", detail);
    return error == ENOENT ? VORTAX_NO_SUCH_FILE : error == EACCES ? VORTAX_PERMISSION_DENIED : VORTAX_OPEN_FAILED;
}

int32_t InputClose(void* instance) {
    auto* input = static_cast<FileInput*>(instance);
    if (input->file && input->file != stdin) std::fclose(input->file);
    input->file = nullptr;
    return VORTAX_OK;
}

// The whole length or nothing: a piece cut short at the end of the file counts as the end.
int32_t InputRead(void* instance, void* buffer, int32_t length) {
    auto* input = static_cast<FileInput*>(instance);
    if (!input->file || length <= 0) return 0;
    const auto size = static_cast<size_t>(length);
    size_t got = 0;
    for (;;) {
        got += std::fread(static_cast<char*>(buffer) + got, 1, size - got, input->file);
        // A signal caught while waiting on a pipe cuts the read short; the rest is still to come.
        if (got == size || !std::ferror(input->file) || errno != EINTR) break;
        std::clearerr(input->file);
    }
    return got == size ? length : 0;
}

int32_t InputSeek(void* instance, int32_t offset) {
    auto* input = static_cast<FileInput*>(instance);
    return input->file && std::fseek(input->file, offset, SEEK_SET) == 0 ? 0 : -1;
}

// Pipes and devices cannot go back, and standard input, even from a file, need not start
// at the file's beginning.
bool CanSeek(const FileInput& input) { return input.file && input.file != stdin && IsRegularFile(input.file); }

int32_t InputFlags(void* instance) { return CanSeek(*static_cast<FileInput*>(instance)) ? VORTAX_INPUT_CAN_SEEK : 0; }

// The size, or 0 (unknown): also for a file too long for the engine's 32-bit count.
int32_t InputSize(void* instance) {
    auto* input = static_cast<FileInput*>(instance);
    struct stat status {};
    if (!CanSeek(*input) || fstat(fileno(input->file), &status) != 0 || status.st_size > INT32_MAX) return 0;
    return static_cast<int32_t>(status.st_size);
}

int32_t InputControl(void*, int32_t, int32_t, int32_t) { return VORTAX_OK; }

int32_t AcceptEveryName(const char*) { return 0; }

// Output.

constexpr Device OutputDevices[] = {{"*, or raw:*", "file name (raw PCM format)", VORTAX_DEVICE_PATTERN},
                                    {"wav:*", "file name (WAV format)", VORTAX_DEVICE_PATTERN},
                                    {"-", "standard output", 0}};

int32_t OutputQuery(ModuleInfo* info, int32_t flags) { return Query(info, flags, "Output To File", OutputDevices, 3); }

int32_t OutputNew(void** instance, const char* name, const ModuleRecord* module, EngineContext* context) {
    return New<FileOutput>(instance, name, module, context, "null params or null/empty output name");
}

int32_t OutputDelete(void* instance) {
    delete static_cast<FileOutput*>(instance);
    return VORTAX_OK;
}

int Channels(const FileOutput& output) { return output.stereo ? 2 : 1; }

bool Put(FILE* file, const void* bytes, size_t size) { return std::fwrite(bytes, 1, size, file) == size; }

int32_t OutputOpen(void* instance) {
    auto* output = static_cast<FileOutput*>(instance);
    output->written = 0;
    output->complete = true;
    output->headerWritten = false;
    output->frequency = 44100;
    output->stereo = 1;
    output->format = Raw;
    std::string path = output->name;
    constexpr std::pair<const char*, Format> Prefixes[] = {{"raw:", Raw}, {"wav:", Wav}, {"aiff:", Aiff}, {"sun:", Sun}};
    for (const auto& [prefix, format] : Prefixes) {
        if (path.rfind(prefix, 0) == 0) {
            output->format = format;
            path.erase(0, std::strlen(prefix));
            break;
        }
    }
    if (path == "-") {
        output->file = stdout;
        return VORTAX_OK;
    }
    // Closing an over-long WAV file reads its data back to move it; a pipe opened for reading
    // too would be its own reader and never notice the other one leave.
    struct stat status {};
    const bool readBack = output->format == Wav && (stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode));
    output->file = std::fopen(path.c_str(), readBack ? "w+b" : "wb");
    if (output->file) {
        // The buffer must outlive the stream; without one the runtime's default stays.
        output->buffer.reset(new (std::nothrow) char[OutputBufferBytes]);
        if (output->buffer) std::setvbuf(output->file, output->buffer.get(), _IOFBF, OutputBufferBytes);
        return VORTAX_OK;
    }
    const int error = errno;
    Notify(output->context, output->id, "cannot open output file", error == EACCES ? "permission denied" : std::strerror(error));
    return error == EACCES ? VORTAX_PERMISSION_DENIED : VORTAX_OPEN_FAILED;
}

int32_t OutputWrite(void* instance, const void* buffer, int32_t size, int32_t, int32_t stereo, int32_t frequency) {
    auto* output = static_cast<FileOutput*>(instance);
    if (!output->file) return 0;
    if (!output->headerWritten) {
        output->frequency = frequency;
        output->stereo = stereo;
        output->headerWritten = true;
        if (output->format == Wav) {
            const WavHeaderBytes header = WavHeader(0, Channels(*output), frequency);
            if (!Put(output->file, header.bytes.data(), header.size)) output->complete = false;
        }
    }
    if (size <= 0) return 0;
    if (!Put(output->file, buffer, static_cast<size_t>(size))) {
        output->complete = false;
        return 0;
    }
    output->written += static_cast<uint64_t>(size);
    return size;
}

// After a failed write the file can hold less than stdio took in; the count drops to the
// whole sample frames that reached it, for the header. False when anything fell short.
bool CountWhatReachedTheFile(FileOutput& output) {
    const bool flushed = std::fflush(output.file) == 0;
    struct stat status {};
    if (fstat(fileno(output.file), &status) != 0 || !S_ISREG(status.st_mode)) return flushed;
    const uint64_t header = output.format == Wav ? RiffHeaderBytes : 0;
    const auto size = static_cast<uint64_t>(status.st_size);
    const uint64_t onDisk = size > header ? size - header : 0;
    if (onDisk >= output.written) return flushed;
    const auto frame = static_cast<uint64_t>(Channels(output) * 2);
    output.written = onDisk / frame * frame;
    return false;
}

// A WAV header is completed in place when the stream can go back to its start. Standard
// output cannot be read back to make room for the ds64 chunk: over the RIFF limit it keeps
// its first header.
bool CompleteHeader(FileOutput& output) {
    if (output.format != Wav || !IsRegularFile(output.file)) return true;
    if (output.file == stdout && output.written > RiffDataLimit) return true;
    return CompleteWavFile(output.file, output.written, Channels(output), output.frequency);
}

int32_t OutputClose(void* instance) {
    auto* output = static_cast<FileOutput*>(instance);
    if (!output->file) return VORTAX_OK;
    bool ok = CountWhatReachedTheFile(*output) && output->complete;
    ok = CompleteHeader(*output) && ok;
    ok = (output->file == stdout ? std::fflush(stdout) : std::fclose(output->file)) == 0 && ok;
    output->file = nullptr;
    return ok ? VORTAX_OK : VORTAX_WRITE_FAILED;
}

}  // namespace

}  // namespace vortax

using namespace vortax;

extern "C" {
const InputMethods FileInputModule = {AcceptEveryName, InputQuery, InputNew,  InputDelete, InputOpen,  InputClose,
                                      InputRead,       InputSeek,  InputFlags, InputSize,  InputControl};

const OutputMethods FileOutputModule = {AcceptEveryName, OutputQuery, OutputNew, OutputDelete, OutputOpen,
                                        OutputClose,     OutputWrite, nullptr,   nullptr,      nullptr,
                                        nullptr,         nullptr,     nullptr};
}
