#include "export/SaveCommands.h"

#include "app/ErrorReport.h"
#include "app/Workspace.h"
#include "export/ResultFile.h"
#include "export/SaveComma.h"
#include "export/SaveList.h"

namespace pq {

namespace {

// Read-only box ticked, several files, explorer style, long names; no overwrite prompt of
// the dialog's own: the program asks its own question.
constexpr int kSaveDialogFlags = 1 + 512 + 524288 + 2097152;

// Shows the Save dialog; returns the chosen path, empty after Cancel.
QString askSavePath(Workspace& ws, Trap& trap)
{
    CommonDialog& dialog = ws.commonDialog1;
    trap.step(106, [&] { dialog.fileName.clear(); });
    trap.step(108, [&] { dialog.flags = kSaveDialogFlags; });
    trap.step(110, [&] { dialog.dialogTitle = QStringLiteral("Save"); });
    trap.step(112, [&] {
        dialog.filter = QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");
    });
    trap.step(114, [&] { ws.host.showSave(dialog); });
    QString path;
    trap.step(116, [&] { path = dialog.fileName; });
    return path;
}

} // namespace

void PushButton8_Click(Workspace& ws)
{
    Trap trap(ws.host, QStringLiteral("Form1.PushButton8_Click"));
    const QString path = askSavePath(ws, trap);
    if (path.isEmpty())
        return;
    bool yes = false;
    trap.step(120, [&] { yes = mayOverwrite(ws, path); });
    if (yes)
        trap.step(126,
                  [&] { SaveListviewProperlySpaced(ws, ws.listView3, path, &ws.progressBar1); });
}

void PushButton9_Click(Workspace& ws)
{
    Trap trap(ws.host, QStringLiteral("Form1.PushButton9_Click"));
    const QString path = askSavePath(ws, trap);
    if (path.isEmpty())
        return;
    trap.step(120, [&] { ws.mousePointer.setValue(MousePointer::Busy); });
    trap.step(122,
              [&] { SaveListviewAsCommaDelimToFile(ws, ws.listView3, path, &ws.progressBar1); });
    trap.step(124, [&] { ws.mousePointer.setValue(MousePointer::Default); });
}

} // namespace pq
