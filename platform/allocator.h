#pragma once

namespace varnel {

// Tunes the C library's allocator for a paint program's churn. A large change takes thousands
// of tile backups beyond the block pool, one malloc each, and frees them together when its
// undo step is written out. By default glibc gives the top of its heap back to the system as
// soon as 128 KiB lie free there, so the next large change faulted every one of those pages in
// again: most of the time of a gradient over a whole layer. Up to 256 MiB now stay for reuse,
// and allocations below 32 MiB (the most glibc's own adaptive rule would move there) come from
// the heap so that the rule covers them. Called once, at start-up, before the first large
// allocation.
void TuneAllocatorForPainting();

}  // namespace varnel
