// The two filter chains: the nodes between the engine and the selected module.
#pragma once

#include "vortax.h"

// Completes the header's opaque type, so it stays outside the namespace.
struct FilterNode {
    int32_t id = 0;  // 0 for the terminal node, which calls the selected module
    void* instance = nullptr;
    InputFilterMethods input{};
    OutputFilterMethods output{};
    FilterNode* next = nullptr;      // towards the module
    FilterNode* previous = nullptr;  // towards the engine
    EngineContext* context = nullptr;
};

namespace vortax {

// A chain holding only its terminal node.
FilterNode* NewInputChain(EngineContext* context);
FilterNode* NewOutputChain(EngineContext* context);

// Deletes every filter (calling its delete method) and the terminal node.
void DeleteChain(FilterNode* front, bool input);

}  // namespace vortax
