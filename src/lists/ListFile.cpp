#include "lists/ListFile.h"

#include "lists/ListFileLines.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/Memory.h"
#include "platform/Runtime.h"
#include "platform/SpareBlocks.h"
#include "platform/Trap.h"
#include "platform/Workspace.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstring>
#include <functional>
#include <limits>

using namespace Qt::StringLiterals;

namespace pq {

namespace {

// Read-only box ticked (1), several files (512), explorer style (524288), long names (2097152).
constexpr int kOpenFlags = 2621953;
// The largest file whose bytes are read into memory lent by the spare text blocks.
constexpr qsizetype kLentReadBytes = qsizetype(64) << 20;

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

// Room for a file's bytes, rounded up to a sixteenth of the power of two it reaches, so
// that the next file read, often the other list and a little longer or shorter, fits the
// memory this one leaves.
qsizetype readRoomFor(qsizetype bytes)
{
    const auto power = std::bit_ceil(quint64(std::max<qsizetype>(bytes, 16)));
    const auto step = qsizetype(power / 16);
    if (bytes > std::numeric_limits<qsizetype>::max() - step)
        return bytes;
    return (bytes + step - 1) / step * step;
}

// A list file's bytes as read so far, and what they were found to be. They lie in memory
// lent by spares: the next file read, often the other list, then fills memory already
// touched instead of having the system hand out and zero as much again.
struct ListFileBytes
{
    std::shared_ptr<TextBlock> block;
    qsizetype size = 0;
    ListFileScan scan;

    char* data() const { return block ? reinterpret_cast<char*>(block->chars.data()) : nullptr; }
    qsizetype capacity() const
    {
        return block ? block->chars.size() * qsizetype(sizeof(QChar)) : 0;
    }
    QByteArrayView view() const { return {data(), size}; }

    // Has the system back the second half of the block after the one at `from` now. The
    // memory read into is often fresh, and its page faults cost more than the reading:
    // the thread that waits for a read takes half of them off the reader.
    void populateAhead(qsizetype from)
    {
        const qsizetype start = from + kListFileBlockBytes + kListFileBlockBytes / 2;
        if (start < capacity())
            populatePages(data() + start,
                          size_t(std::min(kListFileBlockBytes / 2, capacity() - start)));
    }

    // Room for `total` bytes in all; the bytes read move along when they have to, into at
    // least twice the room, so that a file read longer than its size said costs few moves.
    void reserve(qsizetype total)
    {
        if (total <= capacity())
            return;
        const qsizetype bytes = readRoomFor(std::max(total, 2 * capacity()));
        const qsizetype characters = (bytes + 1) / qsizetype(sizeof(QChar));
        SpareBlocks& spares =
            bytes <= kLentReadBytes ? SpareBlocks::shared() : SpareBlocks::forFileBytes();
        std::shared_ptr<TextBlock> larger = spares.make(characters);
        if (size > 0)
            std::memcpy(larger->chars.data(), data(), size_t(size));
        block = std::move(larger);
    }
};

// Refuses a file that cannot fit in the memory left before any of it is read: it takes
// at least its bytes and two bytes a character for its text at once.
void checkRoomFor(const QFile& file)
{
    const qint64 needed = file.size() * 3;
    const qint64 left = memoryLeftBytes();
    if (left < 0 || needed <= left)
        return;
    const auto megabytes = [](qint64 bytes) {
        return QLocale::system().toString((bytes + (1 << 20) - 1) >> 20);
    };
    throw AppError(u"Not enough memory to load this file: it needs about " + megabytes(needed) +
                   u" MB, and " + megabytes(left) + u" MB are left");
}

// Appends the next block of the file; false once the end was reached. Reads until a
// read returns nothing rather than trusting the size, which files such as those under
// /proc report as 0. With a helper, the helper reads while this thread looks at the bytes
// read before, then yields until the read is done, unless the bytes have to move to take
// the block: a read into memory the system hands out afresh can take tens of milliseconds
// where a virtual machine's host backs each page only once it is touched.
bool readBlock(QFile& file, ListFileBytes& read, HelperThread* helper,
               const std::function<void()>& yield)
{
    const qsizetype before = read.size;
    const bool meanwhile = helper && before + kListFileBlockBytes <= read.capacity();
    qint64 got = -1;
    if (meanwhile) {
        const auto finishRead = qScopeGuard([helper] { helper->finish(); });
        helper->start([&file, &got, into = read.data() + before] {
            got = file.read(into, kListFileBlockBytes);
        });
        read.scan.add(read.view());
        read.populateAhead(before);
        helper->waitWhile(yield);
    } else {
        read.reserve(before + kListFileBlockBytes);
        got = file.read(read.data() + before, kListFileBlockBytes);
    }
    if (got < 0)
        throw AppError(file.errorString());
    read.size = before + static_cast<qsizetype>(got);
    if (!meanwhile)
        read.scan.add(read.view());
    return got > 0;
}

// Whether a file is large enough for its work to be shared out with a helper thread.
bool worthAHelper(qint64 bytes)
{
    return bytes > 4 * kListFileBatchBytes;
}

// Reads the whole file, yielding before each block; false when a read failed.
bool readWholeFile(Trap& trap, Runtime& runtime, QFile& file, ListFileBytes& read)
{
    const qint64 size = file.size();
    if (size > 0 && size < std::numeric_limits<qsizetype>::max() - kListFileBlockBytes) {
        read.reserve(static_cast<qsizetype>(size) + kListFileBlockBytes);
    }
    HelperThread helper;
    HelperThread* const sharing = worthAHelper(size) ? &helper : nullptr;
    const std::function<void()> yield = [&runtime] { runtime.yield(); };
    bool more = true;
    while (more) { // [104] until the end of the file
        trap.loopStep(106, yield);
        if (!trap.loopStep(108, [&] { more = readBlock(file, read, sharing, yield); }))
            return false;
    }
    return true;
}

// The rows one file appends to a pane, taken back when the file cannot be loaded whole,
// unless another command changed the pane meanwhile.
class AppendedRows
{
public:
    explicit AppendedRows(ListPane& pane)
        : m_pane(pane), m_first(pane.count() + 1), m_blocks(pane.blockCount()),
          m_revision(pane.revision())
    {
    }
    void add(TextBatch batch)
    {
        if (m_pane.revision() != m_revision)
            m_mine = false;
        m_pane.addBatch(std::move(batch));
        m_revision = m_pane.revision();
    }
    void takeBack()
    {
        if (m_mine && m_pane.revision() == m_revision && m_pane.count() >= m_first)
            m_pane.takeBackAppended(m_first, m_blocks);
    }

private:
    ListPane& m_pane;
    int m_first;
    size_t m_blocks;
    quint64 m_revision;
    bool m_mine = true;
};

// Has the system back the memory of a pane's rows to come, a slice at a time until told
// to stop. A long list's rows lie in memory the system hands out afresh, whose page faults
// cost the thread that appends the rows more than the appending; the helper takes them
// while this thread decodes the first batches.
void backRows(std::span<std::byte> room, const std::atomic<bool>& stop)
{
    constexpr qsizetype kSlice = qsizetype(4) << 20;
    for (qsizetype at = 0; at < qsizetype(room.size()) && !stop; at += kSlice)
        populatePages(room.data() + at, size_t(std::min(kSlice, qsizetype(room.size()) - at)));
}

// Appends the lines to the pane a batch at a time, yielding before each batch. A file
// that cannot be appended whole leaves the pane as it was.
DamagedText appendLines(Trap& trap, Runtime& runtime, ListPane& pane, const ListFileBytes& read,
                        const ListFileFormat& format)
{
    // Room for every item at once: growing a long pane batch by batch would move its rows.
    if (!trap.step(110, [&] { pane.reserve(format.items); }))
        return {};
    ListFileLines lines(read.view(), format);
    AppendedRows appended(pane);
    // A large file's batches are decoded two at a time, the second on a helper thread.
    HelperThread helper;
    const bool sharing = worthAHelper(read.size);
    const std::function<void()> yield = [&runtime] { runtime.yield(); };
    std::atomic<bool> stopBacking = false;
    const auto stopBackingFirst = qScopeGuard([&] { stopBacking = true; });
    if (sharing)
        helper.start([room = pane.roomForNextRows(format.items), &stopBacking] {
            backRows(room, stopBacking);
        });
    const auto appendNext = [&] {
        // Until the helper is done with the rows' memory, this thread decodes alone.
        if (!sharing || !helper.finishWithin(std::chrono::milliseconds(0)))
            return appended.add(lines.nextBatch());
        for (TextBatch& batch : lines.nextBatches(helper, yield))
            appended.add(std::move(batch));
    };
    while (!lines.atEnd()) {
        trap.loopStep(106, yield);
        if (!trap.loopStep(110, appendNext)) {
            appended.takeBack();
            return {};
        }
    }
    return lines.damage();
}

// Tells how many places of a file could not be read as text, and where the first is.
void reportDamagedText(Runtime& runtime, const QString& path, const DamagedText& damage)
{
    if (damage.places == 0)
        return;
    const QString name = QFileInfo(path).fileName();
    const QString line = QString::number(damage.firstLine);
    if (damage.places == 1) {
        runtime.message(u"1 place in " + name +
                        u" could not be read as text and shows as \"\uFFFD\"; it is on line " +
                        line + u'.');
    } else {
        runtime.message(
            QString::number(damage.places) + u" places in " + name +
            u" could not be read as text and show as \"\uFFFD\"; the first is on line " + line +
            u'.');
    }
}

// Loads files first to last; `pathOf` gives the path of each.
template <typename PathOf>
void loadEachFile(Runtime& runtime, Trap& trap, ListPane& pane, qsizetype first, qsizetype last,
                  PathOf&& pathOf)
{
    for (qsizetype i = first; i <= last && !trap.halted(); ++i) { // [128]
        const QString path = pathOf(i);
        trap.loopStep(134, [&] { FileToListbox(pane, path, runtime); });
    } // [136] next file
}

void loadSeveralFiles(Runtime& runtime, Trap& trap, ListPane& pane, const QStringList& parts)
{
    const qsizetype first = 1;               // [124]
    const qsizetype last = parts.size() - 1; // [126]
    loadEachFile(runtime, trap, pane, first, last, [&](qsizetype i) {
        QString path;
        trap.loopStep(130, [&] { path = joinChosenFile(parts.at(0), parts.at(i)); });
#ifdef Q_OS_WIN
        trap.loopStep(132, [&] { path = CollapseBackslashes(path); });
#endif
        return path;
    });
}

void loadOneFile(Runtime& runtime, Trap& trap, ListPane& pane, const QString& path)
{
    trap.step(120, [&] { FileToListbox(pane, path, runtime); });
}

void loadChosenFiles(Runtime& runtime, Trap& trap, ListPane& pane, const QStringList& parts)
{
    if (parts.size() == 1)                               // [116]
        loadOneFile(runtime, trap, pane, parts.first()); // [118]
    else if (parts.size() >= 2)                          // [122]
        loadSeveralFiles(runtime, trap, pane, parts);
}

// Dropped files come with their full paths, which need no joining.
void loadDroppedPaths(Runtime& runtime, Trap& trap, ListPane& pane, const QStringList& paths)
{
    if (paths.size() == 1)
        loadOneFile(runtime, trap, pane, paths.first());
    else
        loadEachFile(runtime, trap, pane, 0, paths.size() - 1,
                     [&](qsizetype i) { return paths.at(i); });
}

// The window is busy while files load, and a second load is refused meanwhile.
template <typename Load> void loadWhileBusy(Workspace& ws, Load&& load)
{
    const LoadingListGuard loading(ws);
    ws.mousePointer.setValue(MousePointer::Busy); // [114]
    load();
    ws.mousePointer.setValue(MousePointer::Default); // [138]
}

QString loadCommandLocation(int paneNumber)
{
    return paneNumber == 1 ? u"Form1.PushButton3_Click"_s : u"Form1.PushButton2_Click"_s;
}

void loadListCommand(Workspace& ws, int paneNumber)
{
    // Two loads never run at once: a click during a load's yield does nothing.
    if (ws.loadingList)
        return;
    Runtime& runtime = ws.runtime;
    Trap trap(runtime.errors(), loadCommandLocation(paneNumber));
    CommonDialog& dialog = ws.commonDialog1;
    dialog.fileName.clear();                                                          // [100]
    dialog.flags = kOpenFlags;                                                        // [102]
    dialog.dialogTitle = u"Load List(s) - Hold Ctrl to select multiple list files"_s; // [104]
    dialog.filter = u"Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"_s;               // [106]
    trap.step(108, [&] { runtime.host().showOpen(dialog); });
    if (dialog.fileName.isEmpty()) // [110] cancelled
        return;
    QStringList parts;
    trap.step(112, [&] { parts = dialog.fileName.split(QChar(u'\0')); });

    loadWhileBusy(ws, [&] { loadChosenFiles(runtime, trap, ws.pane(paneNumber), parts); });
}

} // namespace

void PushButton3_Click(Workspace& ws)
{
    loadListCommand(ws, 1);
}

void PushButton2_Click(Workspace& ws)
{
    loadListCommand(ws, 2);
}

void LoadDroppedFiles(Workspace& ws, int paneNumber, const QStringList& paths)
{
    if (ws.loadingList || paths.isEmpty())
        return;
    Runtime& runtime = ws.runtime;
    Trap trap(runtime.errors(), loadCommandLocation(paneNumber));
    loadWhileBusy(ws, [&] { loadDroppedPaths(runtime, trap, ws.pane(paneNumber), paths); });
}

void FileToListbox(ListPane& pane, const QString& path, Runtime& runtime)
{
    Trap trap(runtime.errors(), u"Main.FileToListbox"_s);
    if (!FileExists(path)) { // [100]
        trap.step(114, [&] { runtime.message(u"File not found"_s); });
        return;
    }
    QFile file;
    if (!trap.step(102, [&] {
            openRegularFile(file, path);
            checkRoomFor(file);
        }))
        return;
    ListFileBytes read;
    DamagedText damage;
    if (readWholeFile(trap, runtime, file, read)) {
        file.close();
        const ListFileFormat format = read.scan.finish(read.view());
        damage = appendLines(trap, runtime, pane, read, format);
    }
    file.close(); // [112]
    read = {};
    trap.step(112, [&] { reportDamagedText(runtime, path, damage); });
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
