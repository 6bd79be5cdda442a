// Scratch memory on the simulated host: malloc, counted, and refused when a
// test has armed an allocation fault (SimFailAllocAfter).
#include "sim_internal.h"

#include <stdlib.h>

void *OsAlloc(size_t size)
{
    SimCountCall(SIM_OP_ALLOC, 0);
    if (SimFaultHit(SIM_OP_ALLOC, 0, NULL, NULL))
        return NULL;
    return malloc(size ? size : 1);
}

void OsFree(void *memory)
{
    free(memory);
}
