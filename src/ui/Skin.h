#pragma once

namespace pq {

struct Workspace;

// Applies the optional skin "x/o.cjs" below the program folder: a Qt style sheet.
// Without the file nothing changes. Failures propagate to the start-up trap.
void ApplySkin(Workspace& ws);

} // namespace pq
