#include "platform/Workspace.h"

namespace pq {

Workspace::Workspace(Runtime& runtime, FormWindow& window, QString programFolder)
    : runtime(runtime), window(window), programFolder(std::move(programFolder))
{
    listView3.setCheckable(true);
}

ListPane& Workspace::pane(int number)
{
    switch (number) {
    case 1:
        return listView1;
    case 2:
        return listView2;
    default:
        return listView3;
    }
}

UndoScope::UndoScope(Workspace& ws) : m_ws(ws)
{
    for (int pane = 1; pane <= 3; ++pane)
        m_ws.pane(pane).beginCommand();
}

UndoScope::~UndoScope()
{
    for (int pane = 3; pane >= 1; --pane)
        m_ws.pane(pane).endCommand();
}

} // namespace pq
