#pragma once

#include <QtGlobal>

namespace pq {

// Bytes of memory this process can still take: the smaller of what the system has
// available and what its address-space limit leaves. -1 when neither can be told.
qint64 memoryLeftBytes();

} // namespace pq
