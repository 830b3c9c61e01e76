// Input from a file or standard input, output to a file or standard output (raw, WAV, AIFF
// or Sun/NeXT .snd PCM).
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "state.h"
#include "pcm_headers.h"

namespace vortax {

namespace {

// Files are read and written through buffers of this size, so that a stream of frames
// takes few system calls: the runtime's default buffer holds a few frames at most, and on
// a virtual machine a system call can cost as much as decoding a frame. Standard input
// and output keep the runtime's own.
constexpr size_t FileBufferBytes = 64 * 1024;

// Gives file the buffer, made on first use and kept for the files opened after it, as it
// must outlive each stream; without one the runtime's default stays.
void UseBuffer(FILE* file, std::unique_ptr<char[]>& buffer) {
    if (!buffer) buffer.reset(new (std::nothrow) char[FileBufferBytes]);
    if (buffer) std::setvbuf(file, buffer.get(), _IOFBF, FileBufferBytes);
}

struct FileInput {
    std::string name;
    int32_t id = 0;
    EngineContext* context = nullptr;
    FILE* file = nullptr;
    std::unique_ptr<char[]> buffer;
};

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
    PcmFormat format = PcmFormat::Raw;
    bool headerWritten = false;
    size_t headerBytes = 0;  // in front of the PCM
    std::vector<uint8_t> tagChunks;  // of the stream's tags, in a WAV header
    std::array<uint16_t, 4096> swapped{};  // samples on their way out in the other byte order
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
    if (input->file) {
        UseBuffer(input->file, input->buffer);
        return VORTAX_OK;
    }
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

// The whole length, or at the end of the file what there is: 0 at the very end.
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
    if (got == 0 && std::ferror(input->file)) return VORTAX_READ_FAILED;
    return static_cast<int32_t>(got);
}

int32_t InputSeek64(void* instance, int64_t offset) {
    auto* input = static_cast<FileInput*>(instance);
    return input->file && fseeko(input->file, static_cast<off_t>(offset), SEEK_SET) == 0 ? 0 : VORTAX_READ_FAILED;
}

int32_t InputSeek(void* instance, int32_t offset) { return InputSeek64(instance, offset); }

// Pipes and devices cannot go back, and standard input, even from a file, need not start
// at the file's beginning.
bool CanSeek(const FileInput& input) { return input.file && input.file != stdin && IsRegularFile(input.file); }

int32_t InputFlags(void* instance) { return CanSeek(*static_cast<FileInput*>(instance)) ? VORTAX_INPUT_CAN_SEEK : 0; }

// The size, or 0 (unknown).
int64_t InputSize64(void* instance) {
    auto* input = static_cast<FileInput*>(instance);
    struct stat status {};
    if (!CanSeek(*input) || fstat(fileno(input->file), &status) != 0) return 0;
    return status.st_size;
}

// Only a size 32 bits can count; a longer file's comes from InputSize64.
int32_t InputSize(void* instance) {
    const int64_t size = InputSize64(instance);
    return size <= INT32_MAX ? static_cast<int32_t>(size) : 0;
}

int32_t InputControl(void*, int32_t, int32_t, int32_t) { return VORTAX_OK; }

int32_t AcceptEveryName(const char*) { return 0; }

// Output.

constexpr Device OutputDevices[] = {{"*, or raw:*", "file name (raw PCM format)", VORTAX_DEVICE_PATTERN},
                                    {"wav:*", "file name (WAV format)", VORTAX_DEVICE_PATTERN},
                                    {"aiff:*", "file name (AIFF format)", VORTAX_DEVICE_PATTERN},
                                    {"sun:*", "file name (Sun/NeXT .snd format)", VORTAX_DEVICE_PATTERN},
                                    {"-", "standard output", 0}};

int32_t OutputQuery(ModuleInfo* info, int32_t flags) {
    return Query(info, flags, "Output To File", OutputDevices, std::size(OutputDevices));
}

int32_t OutputNew(void** instance, const char* name, const ModuleRecord* module, EngineContext* context) {
    return New<FileOutput>(instance, name, module, context, "null params or null/empty output name");
}

int32_t OutputDelete(void* instance) {
    delete static_cast<FileOutput*>(instance);
    return VORTAX_OK;
}

int Channels(const FileOutput& output) { return output.stereo ? 2 : 1; }

// The first failure to write says why (a full disk, a file too large) to the notification
// callback; the ones after it would only repeat it.
void WriteFailed(FileOutput& output) {
    if (output.complete) Notify(output.context, output.id, "cannot write output file", std::strerror(errno));
    output.complete = false;
}

// Nothing to put (the header of raw PCM) has no bytes to point at.
bool Put(FILE* file, const void* bytes, size_t size) { return size == 0 || std::fwrite(bytes, 1, size, file) == size; }

int32_t OutputOpen(void* instance) {
    auto* output = static_cast<FileOutput*>(instance);
    output->written = 0;
    output->complete = true;
    output->headerWritten = false;
    output->headerBytes = 0;
    output->frequency = 44100;
    output->stereo = 1;
    output->format = PcmFormat::Raw;
    std::string path = output->name;
    constexpr std::pair<const char*, PcmFormat> Prefixes[] = {
        {"raw:", PcmFormat::Raw}, {"wav:", PcmFormat::Wav}, {"aiff:", PcmFormat::Aiff}, {"sun:", PcmFormat::Sun}};
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
    const bool readBack =
        output->format == PcmFormat::Wav && (stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode));
    output->file = std::fopen(path.c_str(), readBack ? "w+b" : "wb");
    if (output->file) {
        UseBuffer(output->file, output->buffer);
        return VORTAX_OK;
    }
    const int error = errno;
    Notify(output->context, output->id, "cannot open output file", error == EACCES ? "permission denied" : std::strerror(error));
    return error == EACCES ? VORTAX_PERMISSION_DENIED : VORTAX_OPEN_FAILED;
}

// The tags of the stream being decoded, for a WAV file when the client asked for them.
std::vector<uint8_t> TagChunks(const FileOutput& output) {
    const EngineState& state = *output.context->state;
    if (output.format != PcmFormat::Wav || !state.writeTags || state.tags.Empty()) return {};
    const std::string* software = StringVariable(output.context, "software");
    return WavTagChunks(state.tags, software ? *software : std::string("VORTAX ") + engine_get_version(nullptr, nullptr, nullptr));
}

// The header of a stream of unknown length: it stays where the stream cannot go back to
// complete it (a pipe), and readers of an unfinished file take what there is. Its tags
// stay for the header completed at the end, when the input may be gone.
void WriteFirstHeader(FileOutput& output) {
    output.headerWritten = true;
    try {
        output.tagChunks = TagChunks(output);
        const PcmHeaderBytes header = PcmHeader(output.format, UnknownLength, Channels(output), output.frequency, output.tagChunks);
        output.headerBytes = header.size();
        if (!Put(output.file, header.data(), header.size())) WriteFailed(output);
    } catch (const std::bad_alloc&) {
        output.complete = false;
    }
}

// The engine's samples are in the host's byte order; for a file of the other they are
// swapped a piece at a time.
bool PutSamples(FileOutput& output, const void* samples, size_t size) {
    if (ByteOrder(output.format) == std::endian::native) return Put(output.file, samples, size);
    const auto* bytes = static_cast<const uint8_t*>(samples);
    for (size_t left = size / 2; left > 0;) {
        const size_t count = std::min(left, output.swapped.size());
        uint16_t* piece = output.swapped.data();
        std::memcpy(piece, bytes, count * 2);
        for (size_t i = 0; i < count; ++i) piece[i] = static_cast<uint16_t>(piece[i] << 8 | piece[i] >> 8);
        if (!Put(output.file, piece, count * 2)) return false;
        bytes += count * 2;
        left -= count;
    }
    return true;
}

int32_t OutputWrite(void* instance, const void* buffer, int32_t size, int32_t, int32_t stereo, int32_t frequency) {
    auto* output = static_cast<FileOutput*>(instance);
    if (!output->file) return 0;
    if (!output->headerWritten) {
        output->frequency = frequency;
        output->stereo = stereo;
        WriteFirstHeader(*output);
    }
    if (size <= 0) return 0;
    if (!PutSamples(*output, buffer, static_cast<size_t>(size))) {
        WriteFailed(*output);
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
    const uint64_t header = output.headerBytes;
    const auto size = static_cast<uint64_t>(status.st_size);
    const uint64_t onDisk = size > header ? size - header : 0;
    if (onDisk >= output.written) return flushed;
    const auto frame = static_cast<uint64_t>(Channels(output) * 2);
    output.written = onDisk / frame * frame;
    return false;
}

// A header is completed in place when the stream can go back to its start. Standard output
// cannot be read back to make room for a longer one (RF64's ds64 chunk): it keeps its first.
bool CompleteHeader(FileOutput& output) {
    if (output.headerBytes == 0 || !IsRegularFile(output.file)) return true;
    try {
        const PcmHeaderBytes header = PcmHeader(output.format, output.written, Channels(output), output.frequency, output.tagChunks);
        if (output.file == stdout && header.size() > output.headerBytes) return true;
        return CompletePcmFile(output.file, header, output.headerBytes, output.written);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

int32_t OutputClose(void* instance) {
    auto* output = static_cast<FileOutput*>(instance);
    if (!output->file) return VORTAX_OK;
    if (!output->headerWritten) WriteFirstHeader(*output);
    if (!CountWhatReachedTheFile(*output)) WriteFailed(*output);
    if (!CompleteHeader(*output)) WriteFailed(*output);
    if ((output->file == stdout ? std::fflush(stdout) : std::fclose(output->file)) != 0) WriteFailed(*output);
    output->file = nullptr;
    return output->complete ? VORTAX_OK : VORTAX_WRITE_FAILED;
}

}  // namespace

}  // namespace vortax

using namespace vortax;

extern "C" {
const InputMethods FileInputModule = {AcceptEveryName, InputQuery,   InputNew,    InputDelete, InputOpen,
                                      InputClose,      InputRead,    InputSeek,   InputFlags,  InputSize,
                                      InputControl,    InputSeek64,  InputSize64};

const OutputMethods FileOutputModule = {AcceptEveryName, OutputQuery, OutputNew, OutputDelete, OutputOpen,
                                        OutputClose,     OutputWrite, nullptr,   nullptr,      nullptr,
                                        nullptr,         nullptr,     nullptr};
}
