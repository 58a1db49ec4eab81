#include "lists/ListFile.h"

#include "app/ErrorReport.h"
#include "app/Workspace.h"
#include "lists/ListFileLines.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QStringList>

#include <limits>

using namespace Qt::StringLiterals;

namespace pq {

namespace {

// Read-only box ticked (1), several files (512), explorer style (524288), long names (2097152).
constexpr int kOpenFlags = 2621953;

// Marks the workspace as loading a list file for as long as it lives.
class LoadingListGuard
{
public:
    explicit LoadingListGuard(Workspace& ws) : m_ws(ws) { m_ws.loadingList = true; }
    ~LoadingListGuard() { m_ws.loadingList = false; }
    LoadingListGuard(const LoadingListGuard&) = delete;
    LoadingListGuard& operator=(const LoadingListGuard&) = delete;

private:
    Workspace& m_ws;
};

void openForReading(QFile& file)
{
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw AppError(file.errorString());
}

// A list file's bytes as read so far, and how many line ends they hold.
struct ListFileBytes
{
    QByteArray bytes;
    qsizetype lineEnds = 0;
};

// Appends the next block of the file; false once the end was reached. Reads until a
// read returns nothing rather than trusting the size, which files such as those under
// /proc report as 0.
bool readBlock(QFile& file, ListFileBytes& read)
{
    const qsizetype before = read.bytes.size();
    read.bytes.resize(before + kListFileBlockBytes);
    const qint64 got = file.read(read.bytes.data() + before, kListFileBlockBytes);
    if (got < 0) {
        read.bytes.resize(before);
        throw AppError(file.errorString());
    }
    read.bytes.resize(before + static_cast<qsizetype>(got));
    read.lineEnds += countLineEnds(QByteArrayView(read.bytes).sliced(before));
    return got > 0;
}

// Reads the whole file, yielding before each block; false when a read failed.
bool readWholeFile(Trap& trap, EventPump& pump, QFile& file, ListFileBytes& read)
{
    const qint64 size = file.size();
    if (size > 0 && size < std::numeric_limits<qsizetype>::max() - kListFileBlockBytes)
        read.bytes.reserve(static_cast<qsizetype>(size) + kListFileBlockBytes);
    bool more = true;
    while (more) { // [104] until the end of the file
        trap.loopStep(106, [&] { pump.yield(); });
        if (!trap.loopStep(108, [&] { more = readBlock(file, read); }))
            return false;
    }
    return true;
}

// Appends the lines to the pane a batch at a time, yielding before each batch.
void appendLines(Trap& trap, EventPump& pump, ListPane& pane, const ListFileBytes& read)
{
    // Room for every item at once: growing a long pane batch by batch would move its rows.
    if (!trap.step(110, [&] { pane.reserve(countItems(read.bytes, read.lineEnds)); }))
        return;
    ListFileLines lines(read.bytes);
    while (!lines.atEnd()) {
        trap.loopStep(106, [&] { pump.yield(); });
        if (!trap.loopStep(110, [&] { pane.addMany(lines.nextBatch(kListFileBatchBytes)); }))
            return;
    }
}

void loadSeveralFiles(Workspace& ws, Trap& trap, ListPane& pane, const QStringList& parts)
{
    qsizetype first = 1;
    qsizetype last = 0;
    trap.step(124, [&] { first = 1; });
    trap.step(126, [&] { last = parts.size() - 1; });
    for (qsizetype i = first; i <= last && !trap.halted(); ++i) { // [128]
        QString path;
        trap.loopStep(130, [&] { path = joinChosenFile(parts.at(0), parts.at(i)); });
#ifdef Q_OS_WIN
        trap.loopStep(132, [&] { path = CollapseBackslashes(path); });
#endif
        trap.loopStep(134, [&] { FileToListbox(ws, pane, path); });
    } // [136] next file
}

void loadChosenFiles(Workspace& ws, Trap& trap, ListPane& pane, const QStringList& parts)
{
    // A failing if-test runs the steps it guards, as if it had passed.
    bool single = true;
    trap.step(116, [&] { single = parts.size() == 1; });
    if (single) {
        QString path;
        trap.step(118, [&] { path = parts.value(0); });
        trap.step(120, [&] { FileToListbox(ws, pane, path); });
        return;
    }
    bool several = true;
    trap.step(122, [&] { several = parts.size() >= 2; });
    if (several)
        loadSeveralFiles(ws, trap, pane, parts);
}

void loadListCommand(Workspace& ws, ListPane& pane, const QString& location)
{
    // Two loads never run at once: a click during a load's yield does nothing.
    if (ws.loadingList)
        return;
    Trap trap(ws.host, location);
    CommonDialog& dialog = ws.commonDialog1;
    trap.step(100, [&] { dialog.fileName.clear(); });
    trap.step(102, [&] { dialog.flags = kOpenFlags; });
    trap.step(104, [&] {
        dialog.dialogTitle = u"Load List(s) - Hold Ctrl to select multiple list files"_s;
    });
    trap.step(106, [&] { dialog.filter = u"Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"_s; });
    trap.step(108, [&] { ws.host.showOpen(dialog); });
    bool cancelled = true;
    trap.step(110, [&] { cancelled = dialog.fileName.isEmpty(); });
    if (cancelled)
        return;
    QStringList parts;
    trap.step(112, [&] { parts = dialog.fileName.split(QChar(u'\0')); });

    const LoadingListGuard loading(ws);
    trap.step(114, [&] { ws.mousePointer.setValue(MousePointer::Busy); });
    loadChosenFiles(ws, trap, pane, parts);
    trap.step(138, [&] { ws.mousePointer.setValue(MousePointer::Default); });
}

} // namespace

void PushButton3_Click(Workspace& ws)
{
    loadListCommand(ws, ws.listView1, u"Form1.PushButton3_Click"_s);
}

void PushButton2_Click(Workspace& ws)
{
    loadListCommand(ws, ws.listView2, u"Form1.PushButton2_Click"_s);
}

void FileToListbox(Workspace& ws, ListPane& pane, const QString& path)
{
    Trap trap(ws.host, u"Main.FileToListbox"_s);
    bool exists = true;
    trap.step(100, [&] { exists = FileExists(path); });
    if (!exists) {
        trap.step(114, [&] { ws.message(u"File not found"_s); });
        return;
    }
    QFile file(path);
    if (!trap.step(102, [&] { openForReading(file); }))
        return;
    ListFileBytes read;
    if (readWholeFile(trap, ws.pump, file, read))
        appendLines(trap, ws.pump, pane, read);
    trap.step(112, [&] { file.close(); });
}

QString CollapseBackslashes(const QString& path)
{
    if (path.isEmpty())
        return path;
    QString result;
    result.reserve(path.size() + 1);
    qsizetype from = 0;
    if (path.front() == u'\\') {
        result += u"\\\\";
        from = 1;
        while (from < path.size() && path.at(from) == u'\\')
            ++from;
    }
    for (qsizetype i = from; i < path.size(); ++i) {
        result += path.at(i);
        if (path.at(i) == u'\\' && i + 1 < path.size() && path.at(i + 1) == u'\\')
            ++i; // a pair becomes one; what follows the pair is looked at afresh
    }
    return result;
}

QString joinChosenFile(const QString& folder, const QString& name)
{
#ifdef Q_OS_WIN
    return folder + u'\\' + name;
#else
    return pathInFolder(folder, name);
#endif
}

} // namespace pq
