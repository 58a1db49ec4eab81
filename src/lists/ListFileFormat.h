#pragma once

#include <QByteArrayView>

#include <atomic>
#include <mutex>
#include <vector>

namespace pq {

enum class ListFileEncoding { Utf8, Utf16LE, Utf16BE, Legacy };

// How a list file's bytes are to be read, chosen from the bytes themselves:
// a UTF-8 or UTF-16 byte-order mark; otherwise UTF-8 when the whole file is valid UTF-8;
// otherwise the legacy code page. A file with no CR at all but an LF is a Unix text file,
// whose LFs end the items; in every other file CR LF or a lone CR does.
struct ListFileFormat
{
    ListFileEncoding encoding = ListFileEncoding::Utf8;
    qsizetype markBytes = 0;
    bool unixLines = false;
    bool validUtf8 = true; // for UTF-8: whether the bytes after the mark are valid
    // For UTF-16: whether any unit may be half of a surrogate pair; a file with none has no
    // unpaired ones to look for.
    bool mayHaveSurrogates = true;
    qsizetype items = 0;
};

// Looks at a list file's bytes block by block as they are read, so that the format is
// known as soon as the last block is in without another pass over the file.
class ListFileScan
{
public:
    // `bytes` are the file's bytes from `start` to the last read so far, `start` no later
    // than the first byte not yet looked at; what is new since the last call is looked at.
    // The first call shows the file's first three bytes, or all of a shorter file.
    void add(QByteArrayView bytes, qsizetype start = 0);
    // The format of the whole file, once every byte was added; `bytes` end with its last.
    ListFileFormat finish(QByteArrayView bytes, qsizetype start = 0);

    // The looking at many bytes shared out to threads: the bytes are cut into pieces, at
    // characters, and any number of threads look at the pieces no thread has taken yet,
    // touching nothing of the scan's; `take` then adds what they found.
    class Share
    {
    public:
        Share() = default;
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;
        void lookAtPieces();

    private:
        friend class ListFileScan;
        QByteArrayView m_bytes;
        qsizetype m_from = 0; // where m_bytes start in the file
        ListFileEncoding m_encoding = ListFileEncoding::Utf8;
        bool m_validating = false;
        bool m_seekingSurrogates = false;
        std::vector<qsizetype> m_cuts; // where each piece starts in m_bytes, then their end
        std::atomic<size_t> m_nextPiece{0};
        std::mutex m_found;
        qsizetype m_crs = 0;
        qsizetype m_lfs = 0;
        bool m_valid = true;
        bool m_surrogates = false;
    };
    // Shares out the bytes shown that are not looked at yet, once the scan is decided and
    // they are many; `add` stops short of them until they are taken.
    void share(Share& share, QByteArrayView bytes, qsizetype start = 0);
    void take(const Share& share);

    // What the marks at the start of the file and the bytes looked at so far tell: its
    // encoding and mark, once three bytes were added, and whether a CR was among them.
    bool decided() const { return m_decided; }
    const ListFileFormat& markedFormat() const { return m_format; }
    bool carriageReturnSeen() const { return m_crs > 0; }

private:
    void decide(QByteArrayView bytes);
    void countLineEnds(QByteArrayView bytes, qsizetype start);
    qsizetype wholeUnitsEnd(qsizetype shown) const;
    qsizetype shownEnd(qsizetype end) const;
    void validate(QByteArrayView bytes, qsizetype start, qsizetype shown);
    void keepLastBytes(QByteArrayView bytes, qsizetype start);
    qsizetype countItems() const;

    bool m_decided = false;
    ListFileFormat m_format;
    qsizetype m_counted = 0;     // bytes looked at for line ends
    qsizetype m_validated = 0;   // bytes checked as UTF-8
    qsizetype m_sharedFrom = -1; // where the bytes shared out start; -1: none are
    qsizetype m_crs = 0;
    qsizetype m_lfs = 0;
    // The file's last bytes added, which tell whether it ends in a line end.
    static constexpr qsizetype kLastBytes = 4;
    char m_lastBytes[kLastBytes] = {};
    qsizetype m_size = 0; // bytes added in all
};

// Whether the bytes are UTF-8 throughout, by the same rules as QByteArrayView::isValidUtf8
// (no overlong forms, no surrogates, nothing past U+10FFFF). On text with accented letters,
// whose check held up reading such a file, it takes 6 ms for a million lines where Qt's
// takes 8.
bool isValidUtf8(QByteArrayView bytes);

// The size of a code unit of the encoding, in bytes.
inline qsizetype unitBytes(ListFileEncoding encoding)
{
    return encoding == ListFileEncoding::Utf16LE || encoding == ListFileEncoding::Utf16BE ? 2 : 1;
}

} // namespace pq
