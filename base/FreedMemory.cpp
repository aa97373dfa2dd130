// The C library's heap tuned for a model's big arrays.
#include "base/FreedMemory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void keepFreedMemory()
{
#if defined(__GLIBC__)
    // Blocks up to 512 MB from the heap, and no trimming of its top below 1 GB.
    mallopt(M_MMAP_THRESHOLD, 512 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
