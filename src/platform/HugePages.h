#pragma once

namespace pq {

// Restarts the program once with the C library's allocator asked to back its heap with
// transparent huge pages. Lists of a million items make tens of thousands of small pages
// otherwise, and on some machines every first touch of a page costs tens of microseconds.
// Returns only when no restart was needed or possible.
void restartWithHugePageHeap(char** argv);

} // namespace pq
