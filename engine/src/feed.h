// The input vortax_open_feed opens: a queue of the bytes the client pushes.
#pragma once

#include <cstdint>

#include "vortax.h"

namespace vortax {

// Readies a fed input for its first frame. input_open's look at the stream's start ran on
// the bytes there were; where they were too few it runs again, from the first byte, once
// those it lacked have come: VORTAX_NEED_MORE until then, VORTAX_OK for any other input.
int32_t PrimeFeed(EngineContext* context);

}  // namespace vortax
