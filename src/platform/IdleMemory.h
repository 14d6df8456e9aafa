#pragma once

#include <cstddef>

namespace kestrio {

// Hands back what a process waiting for minutes does not need until it works again: the free
// parts of the heap, and its hold on the pages of program code and read-only data. Nothing is
// lost: those pages stay in the page cache, free for the system to reclaim, and a later access
// maps them again (from the file if they were reclaimed). Pages this process changed are kept.
// Answers the bytes of the mappings it let go of.
std::size_t releaseIdleMemory();

}  // namespace kestrio
