// The C library's heap tuned for a model's big arrays.
#include "base/FreedMemory.h"

#include <cstdint>
#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#endif

// A sanitizer's allocator is its own: advice on its blocks would be on
// memory it may hand back or poison.
#if defined(__SANITIZE_ADDRESS__)
#define BRASSFERN_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRASSFERN_OWN_ALLOCATOR 1
#endif
#endif

namespace {

// Blocks up to this size come from the heap.
constexpr size_t heapBlockLimit = size_t(512) << 20;

} // namespace

void keepFreedMemory()
{
#if defined(__GLIBC__)
    // Blocks up to the limit from the heap, and no trimming of its top below 1 GB.
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(heapBlockLimit));
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

void growHeapInLargePages(size_t bytes)
{
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE) && !defined(BRASSFERN_OWN_ALLOCATOR)
    if (bytes == 0 || bytes >= heapBlockLimit)
        return;
    void* block = std::malloc(bytes);
    if (block == nullptr)
        return;
    // The system takes advice only for whole large pages.
    constexpr uintptr_t largePage = uintptr_t(2) << 20;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(block) + largePage - 1) & ~(largePage - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(largePage - 1);
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    // Back to the heap's top, which keepFreedMemory keeps: the next blocks
    // are cut from it.
    std::free(block);
#else
    (void)bytes;
#endif
}

void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
