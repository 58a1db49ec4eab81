#include "export/SaveCommands.h"

#include "export/ResultFile.h"
#include "export/SaveComma.h"
#include "export/SaveList.h"
#include "platform/FileSystem.h"
#include "platform/Runtime.h"
#include "platform/Trap.h"
#include "platform/Workspace.h"

namespace pq {

namespace {

// Read-only box ticked, several files, explorer style, long names; no overwrite prompt of
// the dialog's own: the program asks its own question.
constexpr int kSaveDialogFlags = 1 + 512 + 524288 + 2097152;

// Shows the Save dialog; returns the chosen path, empty after Cancel.
QString askSavePath(Trap& trap, CommonDialog& dialog, Host& host)
{
    dialog.fileName.clear();                                                         // [106]
    dialog.flags = kSaveDialogFlags;                                                 // [108]
    dialog.dialogTitle = QStringLiteral("Save");                                     // [110]
    dialog.filter = QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"); // [112]
    trap.step(114, [&] { host.showSave(dialog); });
    return dialog.fileName; // [116]
}

// Whether the file at `path` may be written: true when it does not exist yet, otherwise
// the user's answer to the overwrite question.
bool mayOverwrite(Runtime& runtime, const QString& path)
{
    if (!FileExists(path))
        return true;
    return runtime.message(u"Are you sure you wish to overwrite " + path + u" ?",
                           MessageButtons::YesNo, MessageAnswer::Yes) == MessageAnswer::Yes;
}

// After a save in which some lines held characters no encoding can store (halves of
// surrogate pairs, written as U+FFFD), says how many.
void reportReplacedCharacters(Runtime& runtime, const ResultFile& file)
{
    const qsizetype lines = file.linesWithReplacements();
    if (lines <= 0)
        return;
    const QString what = lines == 1 ? QStringLiteral("1 item was")
                                    : QString(QString::number(lines) + u" items were");
    runtime.message(what + u" written with \"\uFFFD\" in place of characters that cannot be stored "
                           u"in the file.");
}

} // namespace

void PushButton8_Click(Workspace& ws)
{
    Runtime& runtime = ws.runtime;
    Trap trap(runtime.errors(), QStringLiteral("Form1.PushButton8_Click"));
    const QString path = askSavePath(trap, ws.commonDialog1, runtime.host());
    if (path.isEmpty()) // [118]
        return;
    bool yes = false;
    trap.step(120, [&] { yes = mayOverwrite(runtime, path); });
    if (!yes)
        return;
    trap.step(126, [&] {
        ResultFile file(path, &runtime.pump());
        if (SaveListviewProperlySpaced(ws.listView3, file, &ws.progressBar1, runtime))
            reportReplacedCharacters(runtime, file);
    });
}

void PushButton9_Click(Workspace& ws)
{
    Runtime& runtime = ws.runtime;
    Trap trap(runtime.errors(), QStringLiteral("Form1.PushButton9_Click"));
    const QString path = askSavePath(trap, ws.commonDialog1, runtime.host());
    if (path.isEmpty()) // [118]
        return;
    // The window is busy while the question is open, too.
    ws.mousePointer.setValue(MousePointer::Busy); // [120]
    trap.step(122, [&] {
        if (!mayOverwrite(runtime, path))
            return;
        ResultFile file(path, &runtime.pump());
        if (SaveListviewAsCommaDelimToFile(ws.listView3, file, &ws.progressBar1, runtime))
            reportReplacedCharacters(runtime, file);
    });
    ws.mousePointer.setValue(MousePointer::Default); // [124]
}

} // namespace pq
