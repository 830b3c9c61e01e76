// A client of the pull interface: decodes a file with vortax_read into a 64 KiB buffer and
// throws the PCM away, for decode_bench.sh to time against vortax-decode's WAV path.
//   vortax-pull-bench FILE [f32]
#include <cstdio>
#include <cstring>

#include "vortax.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vortax-pull-bench FILE [f32]\n");
        return 2;
    }
    EngineContext* context = nullptr;
    if (engine_create(&context) < 0) return 1;
    register_input_module(context, &FileInputModule);
    engine_set_gapless(context, 1);  // as vortax-decode does by default
    if (argc > 2 && std::strcmp(argv[2], "f32") == 0) vortax_set_encoding(context, VORTAX_ENC_F32);
    int code = input_select(context, argv[1], -1);
    if (code >= 0) code = input_open(context);
    static unsigned char buffer[64 * 1024];
    size_t done = 0;
    size_t total = 0;
    while (code >= 0 && (code = vortax_read(context, buffer, sizeof buffer, &done)) == VORTAX_OK) total += done;
    engine_destroy(context);
    if (code != VORTAX_INPUT_END) {
        std::fprintf(stderr, "vortax-pull-bench: %s: %s\n", argv[1], error_name(code));
        return 1;
    }
    std::printf("%zu bytes\n", total);
    return 0;
}
