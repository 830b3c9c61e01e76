/* seek_and_tags: prints an MPEG audio file's tags, then writes one second of it from a
 * given sample on as raw float PCM, through the VORTAX API alone.
 *
 *   cc seek_and_tags.c $(pkg-config --static --cflags --libs vortax) -o seek_and_tags
 *   ./seek_and_tags song.mp3 44100 second.f32     (- writes to standard output)
 *
 * No output module is needed: vortax_read pulls the PCM into our buffer, interleaved
 * 32-bit floats in the machine's byte order. The sample counts the stream's samples per
 * channel after the encoder's delay, which gapless decoding leaves out; vortax_seek lands
 * on it exactly, on any file that can seek. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vortax.h"

static int fail(const char* what, int code) {
    fprintf(stderr, "seek_and_tags: %s: %s\n", what, error_name(code));
    return 1;
}

/* The tags the file has, one "key: value" line each, and its picture and length. */
static void print_tags(EngineContext* engine, FILE* text) {
    static const char* const keys[] = {"title", "artist", "album", "track", "date", "genre", "comment",
                                       "replaygain_track_gain", "replaygain_track_peak",
                                       "replaygain_album_gain", "replaygain_album_peak"};
    char value[256];
    const void* picture;
    size_t size;
    const char* mime;
    size_t i;
    for (i = 0; i < sizeof keys / sizeof keys[0]; ++i) {
        /* A longer value comes cut to fit: a client wanting it whole asks again with
         * the length returned. */
        if (vortax_get_tag(engine, keys[i], value, sizeof value) >= 0) fprintf(text, "%s: %s\n", keys[i], value);
    }
    if (vortax_get_picture(engine, &picture, &size, &mime) == VORTAX_OK)
        fprintf(text, "picture: %s, %lu bytes\n", mime, (unsigned long)size);
    /* Exact when the encoder's tag counts the frames; else the index scans for it. */
    if (vortax_length(engine) < 0) vortax_scan(engine);
    fprintf(text, "length: %lld samples at %d Hz\n", (long long)vortax_length(engine), (int)engine->stream.frequency);
}

/* One second from the position on: fewer samples where the stream ends first. */
static int write_second(EngineContext* engine, FILE* out) {
    const size_t channels = engine->stream.mode == 3 ? 1 : 2;
    const size_t bytes = (size_t)engine->stream.frequency * channels * sizeof(float);
    unsigned char* pcm = malloc(bytes);
    size_t total = 0, done = 0;
    int code = VORTAX_OK;
    if (!pcm) return VORTAX_OUT_OF_MEMORY;
    while (total < bytes && (code = vortax_read(engine, pcm + total, bytes - total, &done)) == VORTAX_OK) total += done;
    if (fwrite(pcm, 1, total, out) != total) code = VORTAX_WRITE_FAILED;
    free(pcm);
    return code == VORTAX_INPUT_END ? VORTAX_OK : code;
}

int main(int argc, char** argv) {
    EngineContext* engine = NULL;
    FILE* out;
    int code;
    int status = 0;

    if (argc != 4) {
        fprintf(stderr, "usage: seek_and_tags IN.mp3 SAMPLE OUT.f32\n");
        return 2;
    }
    code = engine_create(&engine);
    if (code < 0) return fail("cannot start the engine", code);
    register_input_module(engine, &FileInputModule);
    engine_set_gapless(engine, 1);
    vortax_set_encoding(engine, VORTAX_ENC_F32);

    code = input_select(engine, argv[1], -1);
    if (code >= 0) code = input_open(engine);
    if (code < 0) {
        engine_destroy(engine);
        return fail(argv[1], code);
    }
    out = strcmp(argv[3], "-") == 0 ? stdout : fopen(argv[3], "wb");
    if (!out) {
        status = fail(argv[3], VORTAX_OPEN_FAILED);
    } else {
        /* The tags go to standard error when the PCM takes standard output. */
        print_tags(engine, out == stdout ? stderr : stdout);
        code = vortax_seek(engine, strtoll(argv[2], NULL, 10));
        if (code < 0) status = fail("cannot seek", code);
        if (code >= 0 && (code = write_second(engine, out)) < 0) status = fail(argv[3], code);
        if (out != stdout && fclose(out) != 0 && status == 0) status = fail(argv[3], VORTAX_WRITE_FAILED);
    }
    input_close(engine);
    engine_destroy(engine);
    return status;
}
