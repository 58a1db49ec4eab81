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

// The room of a part of a list file, cut after its last whole line once the next block
// does not fit. As large as a block of decoded text, so that either takes the other's
// memory from the spares.
constexpr qsizetype kListFilePartBytes = kListFileBlockCharacters * qsizetype(sizeof(QChar));

// A stretch of a list file's bytes in memory of its own, from `start` in the file on.
struct ListFilePart
{
    std::shared_ptr<TextBlock> block;
    qsizetype start = 0;
    qsizetype size = 0;

    char* data() const { return block ? reinterpret_cast<char*>(block->chars.data()) : nullptr; }
    qsizetype capacity() const
    {
        return block ? block->chars.size() * qsizetype(sizeof(QChar)) : 0;
    }
    QByteArrayView view() const { return {data(), size}; }
};

// Room for at least `bytes` bytes of a file, lent by the spares when they have it.
std::shared_ptr<TextBlock> roomForBytes(qsizetype bytes)
{
    const qsizetype characters = (bytes + 1) / qsizetype(sizeof(QChar));
    SpareBlocks& spares =
        bytes <= kLentReadBytes ? SpareBlocks::shared() : SpareBlocks::forFileBytes();
    return spares.make(characters);
}

// A list file's bytes as read so far, and what they were found to be. They are read in
// parts of a few megabytes, each cut after its last whole line, into memory that the spares
// and the heap hand on from earlier work: a large file read into one stretch of memory took
// all of it from the system afresh, whose page faults cost more than the reading.
class ListFileBytes
{
public:
    // Room for `bytes` more in the part being read. A line longer than a part makes the
    // part grow, at once to the rest of the file when its size (`fileBytes`) is known.
    char* roomFor(qsizetype bytes, qsizetype fileBytes);
    void added(qsizetype bytes)
    {
        m_open.size += bytes;
        m_size += bytes;
    }
    qsizetype size() const { return m_size; }
    // Looks at the bytes read since the last look.
    void scanNew() { m_scan.add(m_open.view(), m_open.start); }
    // Shares out the looking at them among threads; `take` then adds what they found.
    void shareNew(ListFileScan::Share& share) { m_scan.share(share, m_open.view(), m_open.start); }
    void take(const ListFileScan::Share& share) { m_scan.take(share); }
    // Has the system back the second half of the block after the one being read now. A
    // part that grew for a long line lies in memory the system hands out afresh, whose
    // page faults cost more than the reading: the thread that waits for a read takes half
    // of them off the reader.
    void populateAhead() const;
    // Cuts the part being read after its last whole line once it holds a part's worth.
    void cutWhenFull();
    // The format of the whole file, once every byte was read; the parts are then complete.
    ListFileFormat finish();
    const std::vector<ListFilePart>& parts() const { return m_parts; }

private:
    void cut(qsizetype at);
    void joinParts();

    std::vector<ListFilePart> m_parts;
    ListFilePart m_open;
    qsizetype m_size = 0;
    ListFileScan m_scan;
    // A part was cut after an LF before any CR was seen: should the file turn out to have
    // CRs, its lines end at those alone, and that LF was inside a line.
    bool m_cutAtLf = false;
};

char* ListFileBytes::roomFor(qsizetype bytes, qsizetype fileBytes)
{
    if (m_open.capacity() - m_open.size >= bytes)
        return m_open.data() + m_open.size;
    qsizetype wanted = m_open.size + bytes;
    const qsizetype rest = fileBytes - m_open.start + kListFileBlockBytes;
    if (m_open.block)
        wanted = std::max({wanted, 2 * m_open.capacity(), rest});
    else
        wanted = std::max(wanted, std::min(rest, kListFilePartBytes));
    std::shared_ptr<TextBlock> larger = roomForBytes(wanted);
    if (m_open.size > 0)
        std::memcpy(larger->chars.data(), m_open.data(), size_t(m_open.size));
    m_open.block = std::move(larger);
    return m_open.data() + m_open.size;
}

void ListFileBytes::populateAhead() const
{
    const qsizetype start = m_open.size + kListFileBlockBytes + kListFileBlockBytes / 2;
    if (start < m_open.capacity())
        populatePages(m_open.data() + start,
                      size_t(std::min(kListFileBlockBytes / 2, m_open.capacity() - start)));
}

void ListFileBytes::cutWhenFull()
{
    if (m_open.capacity() - m_open.size >= kListFileBlockBytes)
        return;
    scanNew(); // the cut depends on whether any CR came yet
    if (!m_scan.decided())
        return; // the file's first bytes came in a read too short to tell its mark
    ListFileFormat lines = m_scan.markedFormat();
    if (m_open.start > 0)
        lines.markBytes = 0;
    lines.unixLines = !m_scan.carriageReturnSeen();
    const qsizetype at = ListFileLines::afterLastWholeLine(m_open.view(), lines);
    if (at <= 0)
        return; // a line longer than a part
    m_cutAtLf |= lines.unixLines;
    cut(at);
}

void ListFileBytes::cut(qsizetype at)
{
    ListFilePart next;
    next.start = m_open.start + at;
    next.size = m_open.size - at;
    next.block = roomForBytes(std::max(kListFilePartBytes, next.size + 2 * kListFileBlockBytes));
    std::memcpy(next.data(), m_open.data() + at, size_t(next.size));
    m_open.size = at;
    m_parts.push_back(std::move(m_open));
    m_open = std::move(next);
}

ListFileFormat ListFileBytes::finish()
{
    const ListFileFormat format = m_scan.finish(m_open.view(), m_open.start);
    if (m_open.size > 0 || m_parts.empty())
        m_parts.push_back(std::move(m_open));
    m_open = {};
    if (m_cutAtLf && !format.unixLines)
        joinParts();
    return format;
}

void ListFileBytes::joinParts()
{
    ListFilePart whole;
    whole.block = roomForBytes(m_size + 1);
    for (const ListFilePart& part : m_parts) {
        std::memcpy(whole.data() + whole.size, part.data(), size_t(part.size));
        whole.size += part.size;
    }
    m_parts.clear();
    m_parts.push_back(std::move(whole));
}

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
// /proc report as 0. With a helper, this thread looks at the bytes read before while the
// helper reads, and then helps, until both are done; this thread then yields until the
// helper is.
bool readBlock(QFile& file, qsizetype fileBytes, ListFileBytes& read, HelperThread* helper,
               const std::function<void()>& yield)
{
    char* const into = read.roomFor(kListFileBlockBytes, fileBytes);
    qint64 got = -1;
    if (helper) {
        const auto finishRead = qScopeGuard([helper] { helper->finish(); });
        ListFileScan::Share share;
        read.shareNew(share);
        helper->start([&file, &got, into, &share] {
            got = file.read(into, kListFileBlockBytes);
            share.lookAtPieces();
        });
        read.scanNew(); // what was not shared out, if anything
        read.populateAhead();
        share.lookAtPieces();
        helper->waitWhile(yield);
        read.take(share);
    } else {
        got = file.read(into, kListFileBlockBytes);
    }
    if (got < 0)
        throw AppError(file.errorString());
    read.added(static_cast<qsizetype>(got));
    if (!helper)
        read.scanNew();
    read.cutWhenFull();
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
    const qsizetype fileBytes = size > 0 && size < std::numeric_limits<qsizetype>::max() / 2
                                    ? static_cast<qsizetype>(size)
                                    : 0;
    HelperThread helper;
    HelperThread* const sharing = worthAHelper(size) ? &helper : nullptr;
    const std::function<void()> yield = [&runtime] { runtime.yield(); };
    bool more = true;
    while (more) { // [104] until the end of the file
        trap.loopStep(106, yield);
        if (!trap.loopStep(108, [&] { more = readBlock(file, fileBytes, read, sharing, yield); }))
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

// The format of one part of a file: the mark opens the first alone, and the items are its
// share of the file's.
ListFileFormat partFormat(const ListFileFormat& file, const ListFilePart& part, qsizetype bytes)
{
    ListFileFormat format = file;
    if (part.start > 0)
        format.markBytes = 0;
    format.items =
        qsizetype(double(file.items) * double(part.size) / double(std::max<qsizetype>(bytes, 1))) +
        1;
    return format;
}

// Adds the damage of a part whose first line is the file's line `linesBefore` + 1.
void addDamage(DamagedText& file, const DamagedText& part, qsizetype linesBefore)
{
    if (part.places == 0)
        return;
    if (file.places == 0)
        file.firstLine = linesBefore + part.firstLine;
    file.places += part.places;
}

// Appends the lines of one part, yielding before each batch; false when one could not be.
bool appendPart(Trap& trap, const std::function<void()>& yield, AppendedRows& appended,
                ListFileLines& lines, HelperThread* helper)
{
    const auto appendNext = [&] {
        // Until the helper is done with the rows' memory, this thread decodes alone.
        if (!helper || !helper->finishWithin(std::chrono::milliseconds(0)))
            return appended.add(lines.nextBatch());
        for (TextBatch& batch : lines.nextBatches(*helper, yield))
            appended.add(std::move(batch));
    };
    while (!lines.atEnd()) {
        trap.loopStep(106, yield);
        if (!trap.loopStep(110, appendNext))
            return false;
    }
    return true;
}

// Appends the lines to the pane a batch at a time, yielding before each batch. A file
// that cannot be appended whole leaves the pane as it was.
DamagedText appendLines(Trap& trap, Runtime& runtime, ListPane& pane, const ListFileBytes& read,
                        const ListFileFormat& format)
{
    // Room for every item at once: growing a long pane batch by batch would move its rows.
    if (!trap.step(110, [&] { pane.reserve(format.items); }))
        return {};
    AppendedRows appended(pane);
    // A large file's batches are decoded two at a time, the second on a helper thread.
    HelperThread helper;
    const bool sharing = worthAHelper(read.size());
    const std::function<void()> yield = [&runtime] { runtime.yield(); };
    std::atomic<bool> stopBacking = false;
    const auto stopBackingFirst = qScopeGuard([&] { stopBacking = true; });
    // A long list's rows lie in memory the system hands out afresh, whose page faults cost
    // the thread that appends the rows more than the appending; the helper takes them
    // while this thread decodes the first batches.
    if (sharing)
        helper.start([room = pane.roomForNextRows(format.items), &stopBacking] {
            populatePagesUntil(stopBacking, room.data(), room.size());
        });
    DamagedText damage;
    qsizetype linesBefore = 0;
    for (const ListFilePart& part : read.parts()) {
        ListFileLines lines(part.view(), partFormat(format, part, read.size()), part.block);
        if (!appendPart(trap, yield, appended, lines, sharing ? &helper : nullptr)) {
            appended.takeBack();
            return {};
        }
        addDamage(damage, lines.damage(), linesBefore);
        linesBefore += lines.linesTaken();
    }
    return damage;
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
        const ListFileFormat format = read.finish();
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
