#include "lists/ListFile.h"

#include "app/Workspace.h"

namespace pq {

// Loading list files is being built; until then the buttons do nothing.
void PushButton3_Click(Workspace&) {}
void PushButton2_Click(Workspace&) {}

} // namespace pq
