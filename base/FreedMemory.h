// Keeping freed memory for the next big array, and giving it back once a model is in.
#pragma once

#include <cstddef>

// A model arrives as arrays of tens of megabytes, each copied a few times
// on its way (read, converted, sent, received, handed to the GL), and the C
// library gives every such block pages of its own from the kernel and
// returns them when it is freed: the next copy then pays a fault and a
// cleared page for each 4 KB again. On a 2-million-triangle GLB that was an
// eighth of the time to the first picture. From `keepFreedMemory` on, big
// blocks come from the heap and freed ones stay there for the next; a
// process that goes on after its model is in calls `returnFreedMemory`.
void keepFreedMemory();
void returnFreedMemory();

// The GL's targets and a model's arrays are tens of megabytes each, and a
// software GL clears each target it makes: on a virtual machine, where each
// 4 KB page's first touch is a costly exit to the host, making the
// renderer's targets took half the start-up. The heap's next `bytes` are
// advised into 2 MB pages, where the system gives them on request.
void growHeapInLargePages(size_t bytes);
