#include "match/ResultsCommands.h"

#include "app/ErrorReport.h"
#include "app/Workspace.h"

namespace pq {

void PushButton10_Click(Workspace& ws)
{
    Trap trap(ws.host, QStringLiteral("Form1.PushButton10_Click"));
    trap.step(100, [&] { ws.listView3.clear(); });
}

// Copying is being built; until then the button does nothing.
void PushButton6_Click(Workspace&) {}

} // namespace pq
