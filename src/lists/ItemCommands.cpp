#include "lists/ItemCommands.h"

#include "platform/Runtime.h"
#include "platform/Trap.h"
#include "platform/Workspace.h"

#include <initializer_list>

namespace pq {

namespace {

bool mayRemove(const MousePointer& pointer, const ListPane& pane)
{
    return !pointer.isBusy() && pane.count() > 0;
}

// The double-click: the one item under the pointer, which the view made the selected item.
void removeSelected(const MousePointer& pointer, ListPane& pane)
{
    // With items but none selected there is nothing to remove.
    if (mayRemove(pointer, pane) && pane.selected() != 0)
        pane.remove(pane.selected());
}

void removeOnDelete(const MousePointer& pointer, ListPane& pane, int keyCode)
{
    if (keyCode != kDeleteKeyCode || !mayRemove(pointer, pane))
        return;
    const std::span<const RowRun> rows = pane.selection();
    pane.removeRows({rows.begin(), rows.end()});
}

void addOneItem(Runtime& runtime, ListPane& pane, const QString& location)
{
    Trap trap(runtime.errors(), location);
    QString typed;
    trap.step(100, [&] { typed = runtime.inputBox(QStringLiteral("Enter item to add: ")); });
    if (!typed.isEmpty()) // [102]
        trap.step(104, [&] { pane.add(typed); });
}

void loadSample(Trap& trap, ListPane& pane, std::initializer_list<const char16_t*> items)
{
    int label = 102;
    for (const char16_t* item : items) {
        trap.step(label, [&] { pane.add(QStringView(item)); });
        label += 2;
    }
}

} // namespace

void PushButton1_Click(Workspace& ws)
{
    Trap trap(ws.runtime.errors(), QStringLiteral("Form1.PushButton1_Click"));
    trap.step(100, [&] {
        if (!ws.isBusy())
            ws.listView1.clear();
    });
}

void PushButton5_Click(Workspace& ws)
{
    Trap trap(ws.runtime.errors(), QStringLiteral("Form1.PushButton5_Click"));
    trap.step(100, [&] { ws.listView2.clear(); });
}

void PushButton7_Click(Workspace& ws)
{
    addOneItem(ws.runtime, ws.listView1, QStringLiteral("Form1.PushButton7_Click"));
}

void PushButton12_Click(Workspace& ws)
{
    addOneItem(ws.runtime, ws.listView2, QStringLiteral("Form1.PushButton12_Click"));
}

void PushButton20_Click(Workspace& ws)
{
    Trap trap(ws.runtime.errors(), QStringLiteral("Form1.PushButton20_Click"));
    trap.step(100, [&] {
        if (!ws.isBusy())
            ws.listView1.clear();
    });
    loadSample(trap, ws.listView1, {u"apples", u"oranges", u"mangos", u"black cherries"});
}

void PushButton4_Click(Workspace& ws)
{
    Trap trap(ws.runtime.errors(), QStringLiteral("Form1.PushButton4_Click"));
    trap.step(100, [&] { ws.listView2.clear(); });
    loadSample(trap, ws.listView2, {u"bananas", u"black cherry", u"oranges", u"apples"});
}

void ListView1_DblClick(Workspace& ws)
{
    removeSelected(ws.mousePointer, ws.listView1);
}

void ListView2_DblClick(Workspace& ws)
{
    removeSelected(ws.mousePointer, ws.listView2);
}

void ListView1_KeyDown(Workspace& ws, int keyCode, int)
{
    removeOnDelete(ws.mousePointer, ws.listView1, keyCode);
}

void ListView2_KeyDown(Workspace& ws, int keyCode, int)
{
    removeOnDelete(ws.mousePointer, ws.listView2, keyCode);
}

void ListView3_KeyDown(Workspace& ws, int keyCode, int)
{
    removeOnDelete(ws.mousePointer, ws.listView3, keyCode);
}

void UndoInPane(Workspace& ws, int paneNumber)
{
    if (!ws.isBusy())
        ws.pane(paneNumber).undo();
}

void TickAllResults(Workspace& ws, bool ticked)
{
    ws.listView3.setAllChecked(ticked);
}

} // namespace pq
