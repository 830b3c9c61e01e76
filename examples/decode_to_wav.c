/* decode_to_wav: decodes an MPEG audio file to a WAV file through the VORTAX API alone.
 *
 *   cc decode_to_wav.c $(pkg-config --static --cflags --libs vortax) -o decode_to_wav
 *   ./decode_to_wav song.mp3 song.wav
 *
 * The engine reads through an input module and writes through an output module; here the
 * file modules it ships, with the output named "wav:PATH" to get a WAV file. The encoder's
 * delay and padding are trimmed where the stream records them. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vortax.h"

static int fail(const char* what, int32_t code) {
    fprintf(stderr, "decode_to_wav: %s: %s\n", what, error_name(code));
    return 1;
}

int main(int argc, char** argv) {
    EngineContext* engine = NULL;
    char* output_name;
    int32_t code;
    int status = 0;

    if (argc != 3) {
        fprintf(stderr, "usage: decode_to_wav IN.mp3 OUT.wav\n");
        return 2;
    }
    code = engine_create(&engine);
    if (code < 0) return fail("cannot start the engine", code);
    register_input_module(engine, &FileInputModule);
    register_output_module(engine, &FileOutputModule);
    engine_set_gapless(engine, 1);

    output_name = malloc(strlen(argv[2]) + 5);
    if (!output_name) {
        engine_destroy(engine);
        return 1;
    }
    sprintf(output_name, "wav:%s", argv[2]);
    /* -1: whichever module takes the name. */
    code = input_select(engine, argv[1], -1);
    if (code >= 0) code = input_open(engine);
    if (code < 0) {
        status = fail(argv[1], code);
    } else {
        code = output_select(engine, output_name, -1);
        if (code >= 0) code = output_open(engine);
        if (code < 0) {
            status = fail(argv[2], code);
        } else {
            /* A damaged frame is skipped; the end of the input ends the loop. */
            do code = engine_decode_frame(engine);
            while (code == VORTAX_OK || code == VORTAX_INVALID_FRAME);
            if (code != VORTAX_INPUT_END) status = fail(argv[1], code);
            output_set_control(engine, NULL, VORTAX_COMMAND_DRAIN);
            code = output_close(engine);
            if (code < 0 && status == 0) status = fail(argv[2], code);
        }
        input_close(engine);
    }
    free(output_name);
    engine_destroy(engine);
    return status;
}
