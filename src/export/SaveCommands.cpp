#include "export/SaveCommands.h"

#include "app/Workspace.h"

namespace pq {

// Saving is being built; until then the buttons do nothing.
void PushButton8_Click(Workspace&) {}
void PushButton9_Click(Workspace&) {}

} // namespace pq
