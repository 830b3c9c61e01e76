/* VORTAX, a modular MPEG audio decoder: the whole public interface.
 *
 * A client creates an EngineContext, registers input modules (sources of bytes) and
 * output modules (sinks of PCM), selects and opens one of each by name, and calls
 * engine_decode_frame until it returns VORTAX_INPUT_END. Every call returns an engine
 * code: 0 or more for success, a negative code for failure; error_name gives its text. */
#ifndef VORTAX_H
#define VORTAX_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The version of this header, for clients to test at compile time; engine_get_version
 * gives the library's, which may differ when a client runs against another build. */
#define VORTAX_VERSION_MAJOR 1
#define VORTAX_VERSION_MINOR 4
#define VORTAX_VERSION_PATCH 0

/* Engine codes, in groups of one hundred by the kind of facility that fails. A module or
 * filter without a call asked of it (seek, control, delay, command) answers
 * VORTAX_UNSUPPORTED_INPUT or VORTAX_UNSUPPORTED_OUTPUT. */
enum {
    VORTAX_OK = 0,
    VORTAX_OUT_OF_MEMORY = -100,
    VORTAX_INVALID_PARAMETERS = -101,
    VORTAX_INTERNAL_ERROR = -102,
    VORTAX_TIMEOUT = -103,
    VORTAX_OPEN_FAILED = -500,
    VORTAX_CLOSE_FAILED = -501,
    VORTAX_READ_FAILED = -502,
    VORTAX_WRITE_FAILED = -503,
    VORTAX_PERMISSION_DENIED = -504,
    VORTAX_NO_SUCH_DEVICE = -505,
    VORTAX_IOCTL_FAILED = -506,
    VORTAX_MODULE_NOT_FOUND = -507,
    VORTAX_UNSUPPORTED_INPUT = -508,
    VORTAX_UNSUPPORTED_OUTPUT = -509,
    VORTAX_UNSUPPORTED_FORMAT = -510,
    VORTAX_DEVICE_BUSY = -511,
    VORTAX_NO_SUCH_DEVICE_NAME = -512,
    VORTAX_NO_SUCH_FILE = -513,
    VORTAX_INPUT_END = -514,
    VORTAX_NEED_MORE = -515, /* a fed input holds too few bytes yet: see vortax_feed */
    VORTAX_INVALID_FRAME = -600,
    VORTAX_NO_SUCH_VARIABLE = -800,
    VORTAX_INVALID_VARIABLE_TYPE = -801
};

/* The text of a code: empty for 0 and above, "unknown error" for a negative code without
 * a text of its own, so that a message never comes out blank. The text is constant; the
 * caller never frees it. */
const char* error_name(int32_t code);

typedef struct EngineContext EngineContext;
typedef struct ModuleRecord ModuleRecord;

/* Hours, minutes, seconds and hundredths. */
typedef struct TimeRecord {
    int32_t hours;
    int32_t minutes;
    int32_t seconds;
    int32_t hundredths;
} TimeRecord;

typedef struct StreamInfo {
    uint32_t frames;         /* frames decoded */
    float fraction;          /* position in the stream, 0..1 */
    int32_t changed;         /* 1 when a field below changed with the last frame */
    int32_t version;         /* MPEG 1 or 2, or 0 for MPEG 2.5 */
    int32_t layer;           /* 1, 2 or 3 */
    int32_t bitrate;         /* kbit/s, a running average */
    int32_t frequency;       /* Hz */
    int32_t mode;            /* 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel */
    TimeRecord time;         /* playing time at the position */
} StreamInfo;

enum { VORTAX_PCM_WIDTH_CHANGED = 0x1, VORTAX_PCM_STEREO_CHANGED = 0x2, VORTAX_PCM_FORMAT_CHANGED = 0x4 };

typedef struct PcmBlock {
    int32_t changes;   /* VORTAX_PCM_*_CHANGED bits of the last frame */
    void* buffer;
    int32_t size;      /* 16-bit samples after decoding, bytes after adaptation to the output */
    int32_t width;     /* 2 for 16-bit, 1 for 8-bit */
    int32_t stereo;    /* 1 two interleaved channels, 0 one channel */
    int32_t frequency; /* Hz */
    int32_t delay;     /* the output's answer to the delay query */
} PcmBlock;

/* OutputControl fields, each selected by one mask bit; the command bits share the mask. */
enum {
    VORTAX_CONTROL_WIDTH = 0x1,
    VORTAX_CONTROL_FREQUENCY = 0x2,
    VORTAX_CONTROL_STEREO = 0x4,
    VORTAX_CONTROL_PCM_LEVEL = 0x8,
    VORTAX_CONTROL_MASTER_LEVEL = 0x10,
    VORTAX_CONTROL_BALANCE = 0x20,
    VORTAX_CONTROL_PORTS = 0x40,
    VORTAX_COMMAND_MUTE = 0x80,
    VORTAX_COMMAND_UNMUTE = 0x100,
    VORTAX_COMMAND_RESET = 0x200,
    VORTAX_COMMAND_PAUSE = 0x400,
    VORTAX_COMMAND_RESTART = 0x800,
    VORTAX_COMMAND_DRAIN = 0x1000
};

typedef struct OutputControl {
    int32_t width;
    int32_t frequency;
    int32_t stereo;
    int32_t pcm_level;    /* percent */
    int32_t master_level; /* percent */
    int32_t balance;      /* percent, 50 centred */
    int32_t ports;
} OutputControl;

/* Output capability flags. */
enum {
    VORTAX_CAPS_MULAW = 0x10000,      /* wants 8-bit mu-law */
    VORTAX_CAPS_LINEAR16 = 0x20000,   /* takes 16-bit linear PCM */
    VORTAX_CAPS_DELAY = 0x400000,     /* answers the delay query */
    VORTAX_CAPS_DEFAULT = (int32_t)0x8FBFFFFF
};

/* What a module's query method fills in. Flags: VORTAX_MODULE_INFO_NAME asks for the
 * module's name and description, VORTAX_MODULE_INFO_COUNT for its number of devices,
 * VORTAX_MODULE_INFO_DEVICE (without VORTAX_MODULE_INFO_NAME) for device `index`. */
enum { VORTAX_MODULE_INFO_NAME = 0x1, VORTAX_MODULE_INFO_COUNT = 0x2, VORTAX_MODULE_INFO_DEVICE = 0x4 };
enum { VORTAX_DEVICE_PATTERN = 1, VORTAX_DEVICE_DEFAULT = 2 };

typedef struct ModuleInfo {
    int32_t index;        /* in: the device asked for; out: the number of devices */
    int32_t device_flags; /* VORTAX_DEVICE_PATTERN, VORTAX_DEVICE_DEFAULT or 0 */
    char name[256];
    char description[256];
} ModuleInfo;

/* An input module. Instances are opaque to the engine. */
typedef struct InputMethods {
    int32_t (*probe)(const char* name); /* 0: the module takes the name */
    int32_t (*query)(ModuleInfo* info, int32_t flags);
    int32_t (*new_instance)(void** instance, const char* name, const ModuleRecord* module, EngineContext* context);
    int32_t (*delete_instance)(void* instance);
    int32_t (*open)(void* instance);
    int32_t (*close)(void* instance);
    int32_t (*read)(void* instance, void* buffer, int32_t length); /* bytes, 0 at the end, or a code */
    int32_t (*seek)(void* instance, int32_t offset);
    int32_t (*get_flags)(void* instance); /* VORTAX_INPUT_CAN_SEEK */
    int32_t (*get_size)(void* instance);  /* bytes, 0 unknown */
    int32_t (*control)(void* instance, int32_t a, int32_t b, int32_t c);
    /* Optional companions for inputs past 2 GiB, which get_size cannot count and seek
     * cannot reach: the engine asks them when get_size gives 0, and seeks past 2 GiB. */
    int32_t (*seek64)(void* instance, int64_t offset);
    int64_t (*get_size64)(void* instance); /* bytes, 0 unknown */
} InputMethods;

enum { VORTAX_INPUT_CAN_SEEK = 0x1 };

typedef struct OutputMethods {
    int32_t (*probe)(const char* name);
    int32_t (*query)(ModuleInfo* info, int32_t flags);
    int32_t (*new_instance)(void** instance, const char* name, const ModuleRecord* module, EngineContext* context);
    int32_t (*delete_instance)(void* instance);
    int32_t (*open)(void* instance);
    int32_t (*close)(void* instance);
    int32_t (*write)(void* instance, const void* buffer, int32_t size, int32_t width, int32_t stereo, int32_t frequency);
    void* (*get_buffer)(void* instance, int32_t size);
    int32_t (*set_control)(void* instance, const OutputControl* control, int32_t mask);
    int32_t (*get_control)(void* instance, OutputControl* control, int32_t mask);
    int32_t (*delay)(void* instance, int32_t* value);
    int32_t (*caps)(void* instance);
    int32_t (*command)(void* instance, int32_t a, int32_t b, int32_t c);
} OutputMethods;

/* One registered module: its id and a copy of its methods (one of the two tables). */
struct ModuleRecord {
    int32_t id;
    InputMethods input;
    OutputMethods output;
    struct ModuleRecord* next; /* the next older module of the same kind */
};

/* Filters stand between the engine and the selected module and see every call. */
typedef struct InputFilterMethods {
    const char* (*get_name)(void);
    int32_t (*new_instance)(void** instance, int32_t id, EngineContext* context);
    int32_t (*delete_instance)(void* instance);
    int32_t (*open)(void* self, void* instance);
    int32_t (*close)(void* self, void* instance);
    int32_t (*read)(void* self, void* instance, void* buffer, int32_t length);
    int32_t (*seek)(void* self, void* instance, int32_t offset);
    int32_t (*get_flags)(void* self, void* instance);
    int32_t (*get_size)(void* self, void* instance);
    int32_t (*control)(void* self, void* instance, int32_t a, int32_t b, int32_t c);
    int32_t (*seek64)(void* self, void* instance, int64_t offset);
    int64_t (*get_size64)(void* self, void* instance);
} InputFilterMethods;

typedef struct OutputFilterMethods {
    const char* (*get_name)(void);
    int32_t (*new_instance)(void** instance, int32_t id, EngineContext* context);
    int32_t (*delete_instance)(void* instance);
    int32_t (*open)(void* self, void* instance);
    int32_t (*close)(void* self, void* instance);
    int32_t (*write)(void* self, void* instance, const void* buffer, int32_t size, int32_t width, int32_t stereo,
                     int32_t frequency);
    void* (*get_buffer)(void* self, void* instance, int32_t size);
    int32_t (*set_control)(void* self, void* instance, const OutputControl* control, int32_t mask);
    int32_t (*get_control)(void* self, void* instance, OutputControl* control, int32_t mask);
    int32_t (*delay)(void* self, void* instance, int32_t* value);
    int32_t (*caps)(void* self, void* instance);
    int32_t (*command)(void* self, void* instance, int32_t a, int32_t b, int32_t c);
} OutputFilterMethods;

/* A node of a filter chain, as filter_enumerate shows it. A filter's stream methods get
 * their own node as `self` and pass calls on with vortax_next_input(self) or
 * vortax_next_output(self). */
typedef struct FilterNode FilterNode;
int32_t filter_node_id(const FilterNode* node);
const char* filter_node_name(const FilterNode* node); /* empty for a filter naming itself null */
void* filter_node_instance(const FilterNode* node);

typedef void (*NotifyCallback)(uint32_t user, int32_t source, int32_t code, const char* message, const char* detail);
typedef void (*WatcherCallback)(uint32_t user, const char* name, const void* value);
typedef void (*FilterCallback)(uint32_t user, const FilterNode* node);

struct EngineState;

/* The public part of the engine's context: read it, but change it only through calls. */
struct EngineContext {
    const char* name; /* "VORTAX" */
    struct {
        int32_t state; /* 0 closed, 1 open */
        int32_t flags; /* VORTAX_INPUT_CAN_SEEK */
        int64_t position; /* bytes read since the input opened or was sought to */
        int64_t size;     /* bytes, 0 unknown */
        int32_t duration; /* whole seconds */
        void* instance;
        const ModuleRecord* module;
        char* name;
    } input;
    struct {
        int32_t state;
        int32_t caps;
        void* instance;
        const ModuleRecord* module;
        char* name;
    } output;
    int32_t input_modules;
    int32_t output_modules;
    StreamInfo stream;
    PcmBlock pcm;
    uint32_t user;
    void (*progress)(uint32_t user); /* a slot for the client; the engine never calls it */
    NotifyCallback notify;
    void (*error)(uint32_t user); /* a slot for the client; the engine never calls it */
    /* Variable access for modules. */
    int32_t (*get_pointer)(EngineContext* context, const char* name, void** value);
    int32_t (*get_string)(EngineContext* context, const char* name, char* destination);
    int32_t (*add_watcher)(EngineContext* context, const char* name, uint32_t user, WatcherCallback callback,
                           void** handle);
    int32_t (*remove_watcher)(EngineContext* context, void* handle);
    struct EngineState* state;
    /* Appended, so that the fields above keep their places: variable_get_string_sized. */
    int32_t (*get_string_sized)(EngineContext* context, const char* name, char* destination, size_t size);
};

/* Life cycle. */
int32_t engine_create(EngineContext** context);
int32_t engine_destroy(EngineContext* context);
/* "1.4.0"; each out pointer may be null. */
const char* engine_get_version(const char** major, const char** minor, const char** patch);

/* Modules: the new id, or a code. */
int32_t register_input_module(EngineContext* context, const InputMethods* methods);
int32_t register_output_module(EngineContext* context, const OutputMethods* methods);
int32_t input_module_info(EngineContext* context, int32_t id, ModuleInfo* info, int32_t flags);
int32_t output_module_info(EngineContext* context, int32_t id, ModuleInfo* info, int32_t flags);

/* Input side. With id -1 the newest module whose probe accepts the name is taken. */
int32_t input_select(EngineContext* context, const char* name, int32_t id);
int32_t input_open(EngineContext* context);
int32_t input_close(EngineContext* context);
int32_t input_read(EngineContext* context, void* buffer, int32_t length);
/* A seek needs an input that can seek and whose size is known, else VORTAX_UNSUPPORTED_INPUT.
 * A position past the end goes to the end (a duration is an estimate); a negative one (a
 * negative field of a time), a fraction outside 0..1 and a value that is not a finite
 * number are VORTAX_INVALID_PARAMETERS, as they would land nowhere in the stream. */
int32_t input_seek_bytes(EngineContext* context, int32_t offset);
int32_t input_seek_fraction(EngineContext* context, float fraction);
int32_t input_seek_seconds(EngineContext* context, float seconds);
int32_t input_seek_time(EngineContext* context, const TimeRecord* time);
int32_t input_control(EngineContext* context, int32_t a, int32_t b, int32_t c);

/* Output side. */
int32_t output_select(EngineContext* context, const char* name, int32_t id);
int32_t output_open(EngineContext* context);
/* Closing a file output completes it; VORTAX_WRITE_FAILED when its last bytes or its
 * header could not be written (a full disk): the file is then not whole. */
int32_t output_close(EngineContext* context);
/* One call of the output's write: the bytes it took, or a code. No buffer or a negative
 * size is VORTAX_INVALID_PARAMETERS. */
int32_t output_write(EngineContext* context, const void* buffer, int32_t size, int32_t width, int32_t stereo,
                     int32_t frequency);
/* A null control is taken with command bits only; with a field bit it is
 * VORTAX_INVALID_PARAMETERS. The VORTAX_COMMAND_* bits act here and only here: draining is
 * output_set_control(context, NULL, VORTAX_COMMAND_DRAIN), which waits until a sound
 * device has played every block it holds (a file output has nothing to wait for). */
int32_t output_set_control(EngineContext* context, const OutputControl* control, int32_t mask);
int32_t output_get_control(EngineContext* context, OutputControl* control, int32_t mask);
/* Passes a, b and c to the output's own command method (VORTAX_UNSUPPORTED_OUTPUT without
 * one, as for the engine's modules), for commands a client's module defines; the
 * VORTAX_COMMAND_* bits go to output_set_control. */
int32_t output_command(EngineContext* context, int32_t a, int32_t b, int32_t c);

/* Options. Channels: 0 both, 1 first only, 2 second only, 3 both averaged into one.
 * Reduction: 0 none, 1 halve at 32 kHz and up, 2 quarter at 32 kHz and up and halve at
 * 16 kHz and up. The equalizer is 64 signed steps, 32 subbands of each channel; null
 * removes it, and reading it back then gives zero steps and VORTAX_NO_SUCH_VARIABLE. */
int32_t engine_set_channels(EngineContext* context, int32_t channels);
int32_t engine_get_channels(EngineContext* context, int32_t* channels);
int32_t engine_set_reduction(EngineContext* context, int32_t reduction);
int32_t engine_get_reduction(EngineContext* context, int32_t* reduction);
int32_t engine_set_equalizer(EngineContext* context, const int8_t* steps);
int32_t engine_get_equalizer(EngineContext* context, int8_t* steps);

/* A Xing or Info frame is never audio, gapless or not. Gapless decoding (off by default):
 * when the stream starts with the encoder's tag (such a frame with the encoder's delay and
 * padding), the encoder's delay plus the decoder's own 529 samples are dropped at the start
 * and the padding less 529 at the end, so the output is exactly as long as the audio
 * encoded. Streams without such a tag are not touched. */
int32_t engine_set_gapless(EngineContext* context, int32_t on);
int32_t engine_get_gapless(EngineContext* context, int32_t* on);
/* The delay and padding (samples per channel) the stream's tag gives; VORTAX_NO_SUCH_VARIABLE
 * without a tag. */
int32_t engine_get_encoder_tag(EngineContext* context, int32_t* delay, int32_t* padding);

/* The stream's tags, read at input_open: the ID3v2 tags at its start and, from an input
 * that can seek, the APE and ID3v1 tags at its end (ID3v2 first, then APE, then ID3v1,
 * field by field). Keys: "title", "artist", "album", "track", "date", "genre", "comment".
 * ReplayGain under "replaygain_track_gain", "replaygain_album_gain" ("-6.5 dB"),
 * "replaygain_track_peak" and "replaygain_album_peak" ("0.987654", 1 the full scale) comes
 * from ID3v2 TXXX frames of those names, else from the encoder's extension of the Xing or
 * Info frame (what LAME measured, a track's peak and gains).
 * Copies the value, UTF-8, into buffer, always terminated and cut to fit (a null buffer
 * with size 0 copies nothing), and returns its whole length in bytes, so that a caller
 * can ask again with a larger buffer; VORTAX_NO_SUCH_VARIABLE for a tag the stream lacks
 * or another key. */
int vortax_get_tag(EngineContext* context, const char* key, char* buffer, size_t size);
/* The front cover of the stream's ID3v2 tags (APIC, or PIC in version 2.2), else their
 * first picture: its bytes (a JPEG or PNG file, say) and MIME type, borrowed until the
 * input closes. VORTAX_NO_SUCH_VARIABLE without a picture. */
int vortax_get_picture(EngineContext* context, const void** data, size_t* size, const char** mime);
/* Whether a WAV file output ("wav:") carries the stream's tags (off by default): a LIST
 * chunk of INFO items (INAM, IART, IPRD, ITRK, ICRD, IGNR, ICMT, and ISFT, the engine
 * variable "software" when set, else "VORTAX" and the version) and an "id3 " chunk with
 * the stream's first ID3v2 tag, between its "fmt " and "data" chunks. */
int32_t engine_set_tags(EngineContext* context, int32_t on);
int32_t engine_get_tags(EngineContext* context, int32_t* on);

/* Decodes the next frame and writes it to the output. VORTAX_INPUT_END at the end;
 * VORTAX_INVALID_FRAME for a frame that could not be decoded (the next call goes on).
 * An output without a set-control method cannot follow a change of format: it gets every
 * block in the stream's first format (channels doubled or averaged, the rate resampled),
 * and the first change is told to the notification callback as "stream format changed"
 * with the frame where it happened; a block that cannot be converted gives
 * VORTAX_UNSUPPORTED_FORMAT. A block is written whole: an output's write that takes part
 * of it is called again with the rest, as write(2) is; one that takes nothing gives
 * VORTAX_WRITE_FAILED, one that fails its own code, and so does a failing set_control (a
 * device that cannot open at the new rate). Decoding then stops: a lost block is never
 * passed over silently. */
int32_t engine_decode_frame(EngineContext* context);

/* PCM pulled into the client's buffer, without an output module: after input_open (or
 * vortax_open_feed) each call decodes the frames it needs to fill the buffer and keeps
 * what does not fit for the next call, so any size works. Samples are interleaved, at the
 * stream's rate and channels after engine_set_channels and engine_set_reduction, trimmed
 * by engine_set_gapless as a WAV output is. *done gets the bytes written: VORTAX_OK while
 * there are any, at the end VORTAX_INPUT_END with *done 0. A frame that cannot be decoded
 * gives nothing and is passed over, as vortax-decode does; an error met after some bytes
 * were written comes with the next call. A call gives one format only: where the stream's
 * format changes it stops short, and the next call goes on in the new one; after each
 * call context->pcm's frequency, stereo and width (bytes per sample) describe what it gave. */
int vortax_read(EngineContext* context, void* buffer, size_t bytes, size_t* done);
/* VORTAX_ENC_S16 (the default): 16-bit samples in the machine's byte order, width 2.
 * VORTAX_ENC_F32: floats, width 4, 1.0 the 16-bit full scale, taken from the synthesis
 * before rounding: unclipped, so a loud stream's peaks may pass -1 and 1. It applies to
 * vortax_read only, from the next frame decoded; outputs always get 16 bits. */
enum { VORTAX_ENC_S16 = 0, VORTAX_ENC_F32 = 1 };
int vortax_set_encoding(EngineContext* context, int encoding);
/* Input the client pushes as it arrives, from a network say. vortax_open_feed opens the
 * input on a byte queue of the engine's own in place of a module (an input open before is
 * closed); vortax_feed queues bytes, and vortax_read (engine_decode_frame too) gives
 * VORTAX_NEED_MORE when those fed so far do not hold the next frame: feed more and read
 * again, nothing is lost. Feeding 0
 * bytes (data may be null) ends the input: the last frame is decoded, then comes
 * VORTAX_INPUT_END. The PCM is that of a file of the same bytes, however they are cut. */
int vortax_open_feed(EngineContext* context);
int vortax_feed(EngineContext* context, const void* data, size_t size);

/* Positions in samples per channel as the client gets them: after gapless trimming when it
 * is on, and with a reduction, of the reduced rate.
 * vortax_length: the whole stream's, exact, from the encoder's Xing or Info frame count
 * (and its delay and padding when gapless) or once vortax_scan has indexed the frames; -1
 * while neither tells (no such frame, and no scan yet: a scan needs an input that seeks).
 * vortax_scan reads every frame header of an input that can seek, from its start, into an
 * index of where each frame lies, then goes back to where decoding stood; the first seek
 * does it too. VORTAX_UNSUPPORTED_INPUT for an input that cannot seek or a program stream.
 * vortax_tell: the position of the next sample engine_decode_frame or vortax_read gives;
 * -1 after input_seek_* to elsewhere than the start: they land on a frame whose
 * position they do not know.
 * vortax_seek: makes the next sample given the one at `sample`, the very value a decode
 * from the start gives there: decoding starts frames before it, for the layer III
 * reservoir and the filterbanks to be as they are there, and drops what comes before it.
 * Gapless trimming holds on both sides. A sample past the end goes to the end (the next
 * decode gives VORTAX_INPUT_END); a negative one is VORTAX_INVALID_PARAMETERS. */
int64_t vortax_length(EngineContext* context);
int vortax_scan(EngineContext* context);
int64_t vortax_tell(EngineContext* context);
int vortax_seek(EngineContext* context, int64_t sample);

/* Filters. Position -1 puts a filter at the front, 0 or 1 next to the module, a larger
 * one in front of the filter with that id. Remove by selector: -2 by name, -1 the front,
 * 0 the one next to the module, or an id; it gives the front's id, or
 * VORTAX_MODULE_NOT_FOUND when no filter is selected. */
int32_t input_filter_add(EngineContext* context, const InputFilterMethods* methods, int32_t position);
int32_t output_filter_add(EngineContext* context, const OutputFilterMethods* methods, int32_t position);
int32_t input_filter_remove(EngineContext* context, const char* name, int32_t selector);
int32_t output_filter_remove(EngineContext* context, const char* name, int32_t selector);
int32_t input_filter_enumerate(EngineContext* context, uint32_t user, FilterCallback callback);
int32_t output_filter_enumerate(EngineContext* context, uint32_t user, FilterCallback callback);

/* The next node's methods, for filters passing a call on. */
int32_t vortax_input_open(FilterNode* self);
int32_t vortax_input_close(FilterNode* self);
int32_t vortax_input_read(FilterNode* self, void* buffer, int32_t length);
int32_t vortax_input_seek(FilterNode* self, int32_t offset);
int32_t vortax_input_get_flags(FilterNode* self);
int32_t vortax_input_get_size(FilterNode* self);
int32_t vortax_input_control(FilterNode* self, int32_t a, int32_t b, int32_t c);
int32_t vortax_input_seek64(FilterNode* self, int64_t offset);
int64_t vortax_input_get_size64(FilterNode* self);
int32_t vortax_output_open(FilterNode* self);
int32_t vortax_output_close(FilterNode* self);
int32_t vortax_output_write(FilterNode* self, const void* buffer, int32_t size, int32_t width, int32_t stereo,
                            int32_t frequency);
void* vortax_output_get_buffer(FilterNode* self, int32_t size);
int32_t vortax_output_set_control(FilterNode* self, const OutputControl* control, int32_t mask);
int32_t vortax_output_get_control(FilterNode* self, OutputControl* control, int32_t mask);
int32_t vortax_output_delay(FilterNode* self, int32_t* value);
int32_t vortax_output_caps(FilterNode* self);
int32_t vortax_output_command(FilterNode* self, int32_t a, int32_t b, int32_t c);

/* Engine variables, shared by clients and modules, with watchers told of every change.
 * A watcher may add or remove watchers and variables, itself included, from its callback:
 * one removed there is not called again, and each is told the value as it was set. */
int32_t variable_set_string(EngineContext* context, const char* name, const char* text);
int32_t variable_set_pointer(EngineContext* context, const char* name, void* pointer);
int32_t variable_remove(EngineContext* context, const char* name);
/* Copies a string variable into `destination`, which must hold VORTAX_STRING_MAX bytes: a
 * longer value (the buffer's size is not known here) copies nothing and gives
 * VORTAX_INVALID_PARAMETERS. variable_get_string_sized takes any length. */
enum { VORTAX_STRING_MAX = 1024 };
int32_t variable_get_string(EngineContext* context, const char* name, char* destination);
/* Copies a string variable into `destination` of `size` bytes, always terminated and cut
 * to fit (a null destination with size 0 copies nothing), and returns its whole length in
 * bytes, so that a caller can ask again with a larger buffer, as vortax_get_tag does. */
int32_t variable_get_string_sized(EngineContext* context, const char* name, char* destination, size_t size);
int32_t variable_get_pointer(EngineContext* context, const char* name, void** pointer);
int32_t watcher_add(EngineContext* context, const char* name, uint32_t user, WatcherCallback callback, void** handle);
int32_t watcher_remove(EngineContext* context, void* handle);

/* The file modules: input from a named file or "-" (standard input); output to a file
 * or "-", raw or with a "raw:", "wav:", "aiff:" or "sun:" prefix. */
extern const InputMethods FileInputModule;
extern const OutputMethods FileOutputModule;
/* The sound-device module: plays on "/dev/wave/N" (0 the default device, N the system's
 * device N - 1) or, for an empty name, on the default device. */
extern const OutputMethods SoundDeviceOutputModule;

#ifdef __cplusplus
}
#endif

#endif
