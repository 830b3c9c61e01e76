// The libFuzzer entry: any bytes at all go through the engine without a crash, a hang or a leak.
#include "decode_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodeBytes(data, size);
    return 0;
}
