#pragma once

#include <cstddef>

namespace kestrio {

// Hands back what a process waiting for minutes does not need until it works again: the free
// parts of the heap, and the pages of program code and read-only data that only this process
// holds. Nothing is lost: a page handed back is read again from its file when next used. The
// pages other processes share are left alone. Answers the bytes of file mappings it asked the
// kernel to reclaim (0 when the kernel cannot, before Linux 5.4).
std::size_t releaseIdleMemory();

}  // namespace kestrio
