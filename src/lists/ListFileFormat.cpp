#include "lists/ListFileFormat.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pq {

namespace {

#if defined(__SSE2__)
// Counts one code unit of `Width` bytes sixteen bytes at a time: each match adds one to
// every byte of its lane, and the eight-bit sums are folded before they can overflow.
template <int Width> struct UnitCounter
{
    explicit UnitCounter(uint16_t unit)
        : wanted(Width == 1 ? _mm_set1_epi8(char(unit)) : _mm_set1_epi16(short(unit)))
    {
    }
    void add(__m128i chunk)
    {
        const __m128i same =
            Width == 1 ? _mm_cmpeq_epi8(chunk, wanted) : _mm_cmpeq_epi16(chunk, wanted);
        counts = _mm_sub_epi8(counts, same);
    }
    void fold()
    {
        const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        total += (qsizetype(_mm_cvtsi128_si64(sums)) +
                  qsizetype(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)))) /
                 Width;
        counts = _mm_setzero_si128();
    }
    const __m128i wanted;
    __m128i counts = _mm_setzero_si128();
    qsizetype total = 0;
};
#endif

// How often the code units `first` and `second`, of `Width` bytes as they lie in memory,
// stand from `at` to `stop` (whole units), in one pass: a call per line end would cost
// more than the counting.
template <int Width>
void countUnits(const char* at, const char* stop, uint16_t first, uint16_t second,
                qsizetype& firsts, qsizetype& seconds)
{
#if defined(__SSE2__)
    UnitCounter<Width> a(first);
    UnitCounter<Width> b(second);
    while (stop - at >= 16) {
        const qsizetype chunks = std::min<qsizetype>((stop - at) / 16, 255);
        for (qsizetype i = 0; i < chunks; ++i, at += 16) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            a.add(chunk);
            b.add(chunk);
        }
        a.fold();
        b.fold();
    }
    firsts += a.total;
    seconds += b.total;
#endif
    for (; stop - at >= Width; at += Width) {
        uint16_t unit = 0;
        if constexpr (Width == 1)
            unit = static_cast<unsigned char>(*at);
        else
            std::memcpy(&unit, at, sizeof unit);
        firsts += unit == first;
        seconds += unit == second;
    }
}

void countCrLf(const char* data, qsizetype from, qsizetype end, qsizetype& crs, qsizetype& lfs)
{
    countUnits<1>(data + from, data + end, '\r', '\n', crs, lfs);
}

// The same for UTF-16 units from `from` to `end`, both at unit boundaries; `low` is where
// a unit's low byte stands in it.
void countCrLfUnits(const char* data, qsizetype from, qsizetype end, qsizetype low, qsizetype& crs,
                    qsizetype& lfs)
{
    const auto unitOf = [low](char lowByte) {
        char bytes[2] = {};
        bytes[low] = lowByte;
        uint16_t unit;
        std::memcpy(&unit, bytes, sizeof unit);
        return unit;
    };
    countUnits<2>(data + from, data + end, unitOf('\r'), unitOf('\n'), crs, lfs);
}

// Whether a UTF-16 unit from `at` to `stop` (whole units) is half of a surrogate pair:
// its high byte, at `1 - low` in the unit, is D8 to DF.
bool anySurrogateUnit(const char* at, const char* stop, qsizetype low)
{
    const qsizetype high = 1 - low;
#if defined(__SSE2__)
    // Sixteen-bit lanes as they lie in memory on this (little-endian) processor.
    const __m128i mask = _mm_set1_epi16(short(high == 1 ? 0xF800 : 0x00F8));
    const __m128i wanted = _mm_set1_epi16(short(high == 1 ? 0xD800 : 0x00D8));
    __m128i seen = _mm_setzero_si128();
    for (; stop - at >= 16; at += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        seen = _mm_or_si128(seen, _mm_cmpeq_epi16(_mm_and_si128(chunk, mask), wanted));
    }
    if (_mm_movemask_epi8(seen) != 0)
        return true;
#endif
    for (; stop - at >= 2; at += 2) {
        if ((static_cast<unsigned char>(at[high]) & 0xF8) == 0xD8)
            return true;
    }
    return false;
}

// Counts the line ends from `from` to `to` (whole units) in the file's encoding and, while
// `surrogates` is false, looks for halves of surrogate pairs in UTF-16.
void lookAtUnits(const char* data, qsizetype from, qsizetype to, ListFileEncoding encoding,
                 qsizetype& crs, qsizetype& lfs, bool& surrogates)
{
    if (unitBytes(encoding) == 1) {
        countCrLf(data, from, to, crs, lfs);
        return;
    }
    const qsizetype low = encoding == ListFileEncoding::Utf16LE ? 0 : 1;
    countCrLfUnits(data, from, to, low, crs, lfs);
    if (!surrogates)
        surrogates = anySurrogateUnit(data + from, data + to, low);
}

// Where a UTF-8 check may stop without cutting a character: before the last lead byte of
// an unfinished sequence at the end.
qsizetype characterBoundaryBefore(QByteArrayView bytes, qsizetype end)
{
    qsizetype at = end;
    for (int back = 0; back < 4 && at > 0; ++back) {
        const auto byte = static_cast<unsigned char>(bytes[at - 1]);
        if ((byte & 0xC0) != 0x80)
            return byte < 0x80 ? at : at - 1;
        --at;
    }
    return end;
}

} // namespace

namespace {

bool continues(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

bool leadsTwo(unsigned char byte)
{
    return byte >= 0xC2 && byte <= 0xDF;
}

// The byte after the character at `at`, or none when it is not one.
const unsigned char* afterCharacter(const unsigned char* at, const unsigned char* end)
{
    const unsigned lead = *at;
    if (lead < 0x80)
        return at + 1;
    if (lead < 0xC2) // a continuation byte, or an overlong two-byte form
        return nullptr;
    if (lead < 0xE0)
        return end - at >= 2 && continues(at[1]) ? at + 2 : nullptr;
    if (lead < 0xF0) {
        const bool valid = end - at >= 3 && continues(at[1]) && continues(at[2]) &&
                           !(lead == 0xE0 && at[1] < 0xA0) && // overlong
                           !(lead == 0xED && at[1] >= 0xA0);  // a surrogate
        return valid ? at + 3 : nullptr;
    }
    if (lead < 0xF5) {
        const bool valid = end - at >= 4 && continues(at[1]) && continues(at[2]) &&
                           continues(at[3]) && !(lead == 0xF0 && at[1] < 0x90) && // overlong
                           !(lead == 0xF4 && at[1] >= 0x90);                      // past U+10FFFF
        return valid ? at + 4 : nullptr;
    }
    return nullptr;
}

#if defined(__SSE2__)
// Checks sixteen bytes at a time while they hold ASCII and two-byte characters alone, the
// bytes of most European text: each continuation byte must follow a lead byte, and each
// lead byte come before one. Every chunk takes the same steps, ASCII or not: in text with
// an accented letter every few words, a branch on whether a chunk had any went the other
// way every other time, and those mistakes cost more than the check. Chunks with other
// characters are checked a character at a time. Returns where it stopped, at a
// character's start, or none when the bytes are not UTF-8.
const unsigned char* checkInSixteens(const unsigned char* begin, const unsigned char* end)
{
    // Compared as signed bytes: 80..BF lie below C0, C2..DF between C1 and E0, E0..FF
    // between DF and 0.
    const __m128i c0 = _mm_set1_epi8(char(0xC0));
    const __m128i c1 = _mm_set1_epi8(char(0xC1));
    const __m128i df = _mm_set1_epi8(char(0xDF));
    const __m128i e0 = _mm_set1_epi8(char(0xE0));
    const __m128i zero = _mm_setzero_si128();
    const unsigned char* at = begin;
    while (end - at >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i prev = at > begin ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(at - 1))
                                        : _mm_slli_si128(chunk, 1);
        const __m128i longer =
            _mm_and_si128(_mm_cmpgt_epi8(chunk, df), _mm_cmplt_epi8(chunk, zero));
        const __m128i overlong = _mm_or_si128(_mm_cmpeq_epi8(chunk, c0), _mm_cmpeq_epi8(chunk, c1));
        const __m128i continuation = _mm_cmplt_epi8(chunk, c0);
        const __m128i lead = _mm_and_si128(_mm_cmpgt_epi8(prev, c1), _mm_cmplt_epi8(prev, e0));
        const __m128i odd =
            _mm_or_si128(_mm_xor_si128(continuation, lead), _mm_or_si128(longer, overlong));
        if (_mm_movemask_epi8(odd) == 0) [[likely]] {
            at += 16;
            continue;
        }
        if (at > begin && leadsTwo(at[-1]))
            --at; // its continuation opens this chunk
        for (const unsigned char* stop = at + 16; at && at < stop;)
            at = afterCharacter(at, end);
        if (!at)
            return nullptr;
    }
    return at > begin && leadsTwo(at[-1]) ? at - 1 : at;
}
#endif

} // namespace

bool isValidUtf8(QByteArrayView bytes)
{
    if (bytes.isEmpty()) // its data may be null, which stands for a failed check below
        return true;
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = at + bytes.size();
#if defined(__SSE2__)
    at = checkInSixteens(at, end);
#endif
    while (at && at < end)
        at = afterCharacter(at, end);
    return at != nullptr;
}

void ListFileScan::add(QByteArrayView bytes, qsizetype start)
{
    keepLastBytes(bytes, start);
    if (!m_decided && start == 0 && bytes.size() >= 3)
        decide(bytes);
    if (!m_decided)
        return;
    countLineEnds(bytes, start);
    if (m_format.encoding == ListFileEncoding::Utf8)
        validate(bytes, start, start + characterBoundaryBefore(bytes, bytes.size()));
}

ListFileFormat ListFileScan::finish(QByteArrayView bytes, qsizetype start)
{
    keepLastBytes(bytes, start);
    if (!m_decided)
        decide(bytes);
    countLineEnds(bytes, start);
    const qsizetype end = start + bytes.size();
    if (m_format.encoding == ListFileEncoding::Utf8) {
        validate(bytes, start, end);
        // Without a mark, only a file that is UTF-8 as a whole is read as UTF-8.
        if (!m_format.validUtf8 && m_format.markBytes == 0)
            m_format.encoding = ListFileEncoding::Legacy;
    }
    m_format.unixLines = m_crs == 0 && m_lfs > 0;
    m_format.items = countItems();
    return m_format;
}

void ListFileScan::decide(QByteArrayView bytes)
{
    m_decided = true;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        m_format.markBytes = 3;
    } else if (bytes.startsWith("\xFF\xFE")) {
        m_format.encoding = ListFileEncoding::Utf16LE;
        m_format.markBytes = 2;
        m_format.mayHaveSurrogates = false;
    } else if (bytes.startsWith("\xFE\xFF")) {
        m_format.encoding = ListFileEncoding::Utf16BE;
        m_format.markBytes = 2;
        m_format.mayHaveSurrogates = false;
    }
    m_counted = m_validated = m_format.markBytes;
}

// The end of the last whole unit among the bytes shown up to `shown`.
qsizetype ListFileScan::wholeUnitsEnd(qsizetype shown) const
{
    const qsizetype units = unitBytes(m_format.encoding);
    return m_format.markBytes + (shown - m_format.markBytes) / units * units;
}

// The end of what may be looked at now: the bytes shared out wait for their share.
qsizetype ListFileScan::shownEnd(qsizetype end) const
{
    return m_sharedFrom >= 0 ? std::min(end, m_sharedFrom) : end;
}

// Counts from the first byte not yet looked at to the end of the last whole unit shown.
void ListFileScan::countLineEnds(QByteArrayView bytes, qsizetype start)
{
    const qsizetype end = shownEnd(wholeUnitsEnd(start + bytes.size()));
    if (end <= m_counted)
        return;
    lookAtUnits(bytes.data(), m_counted - start, end - start, m_format.encoding, m_crs, m_lfs,
                m_format.mayHaveSurrogates);
    m_counted = end;
}

void ListFileScan::validate(QByteArrayView bytes, qsizetype start, qsizetype shown)
{
    const qsizetype end = shownEnd(shown);
    if (end <= m_validated)
        return;
    if (m_format.validUtf8)
        m_format.validUtf8 = pq::isValidUtf8(bytes.sliced(m_validated - start, end - m_validated));
    m_validated = end;
}

void ListFileScan::share(Share& share, QByteArrayView bytes, qsizetype start)
{
    // A piece is small enough for either thread to take the last few, and large enough
    // for taking it to cost nothing; fewer bytes than two are not worth sharing.
    constexpr qsizetype kPiece = qsizetype(1) << 16;
    const bool utf8 = m_format.encoding == ListFileEncoding::Utf8;
    // In UTF-8 the check stops before an unfinished character, whose bytes the count may
    // have passed: they are no line ends, and counting them again adds nothing.
    const qsizetype looked = utf8 ? m_validated : m_counted;
    const qsizetype shown = start + bytes.size();
    if (!m_decided || m_sharedFrom >= 0 || shown - looked < 2 * kPiece)
        return;
    const qsizetype to =
        utf8 ? start + characterBoundaryBefore(bytes, bytes.size()) : wholeUnitsEnd(shown);
    share.m_bytes = bytes.sliced(looked - start, to - looked);
    share.m_from = looked;
    share.m_encoding = m_format.encoding;
    share.m_validating = utf8 && m_format.validUtf8;
    share.m_seekingSurrogates = !utf8 && !m_format.mayHaveSurrogates;
    // Each piece starts at a character: in UTF-8, not at a continuation byte, of which a
    // character has three at most; in UTF-16 (pieces of an even size), at a whole unit.
    share.m_cuts.assign(1, 0);
    for (qsizetype at = kPiece; at < share.m_bytes.size(); at += kPiece) {
        qsizetype cut = at;
        for (int back = 0; utf8 && back < 3 && (share.m_bytes[cut] & 0xC0) == 0x80; ++back)
            --cut;
        share.m_cuts.push_back(cut);
    }
    share.m_cuts.push_back(share.m_bytes.size());
    m_sharedFrom = looked;
}

void ListFileScan::Share::lookAtPieces()
{
    if (m_cuts.empty())
        return;
    qsizetype crs = 0;
    qsizetype lfs = 0;
    bool valid = true;
    bool surrogates = !m_seekingSurrogates; // looked for only while none is known
    const size_t pieces = m_cuts.size() - 1;
    for (size_t piece; (piece = m_nextPiece.fetch_add(1, std::memory_order_relaxed)) < pieces;) {
        const char* from = m_bytes.data() + m_cuts[piece];
        const qsizetype size = m_cuts[piece + 1] - m_cuts[piece];
        lookAtUnits(from, 0, size, m_encoding, crs, lfs, surrogates);
        if (m_validating && valid)
            valid = pq::isValidUtf8(QByteArrayView(from, size));
    }
    const std::lock_guard<std::mutex> adding(m_found);
    m_crs += crs;
    m_lfs += lfs;
    m_valid = m_valid && valid;
    m_surrogates = m_surrogates || (m_seekingSurrogates && surrogates);
}

void ListFileScan::take(const Share& share)
{
    if (share.m_cuts.empty())
        return;
    m_sharedFrom = -1;
    m_crs += share.m_crs;
    m_lfs += share.m_lfs;
    m_format.validUtf8 = m_format.validUtf8 && share.m_valid;
    m_format.mayHaveSurrogates = m_format.mayHaveSurrogates || share.m_surrogates;
    m_counted = m_validated = share.m_from + share.m_bytes.size();
}

void ListFileScan::keepLastBytes(QByteArrayView bytes, qsizetype start)
{
    const qsizetype end = start + bytes.size();
    if (end <= m_size)
        return;
    char kept[kLastBytes] = {};
    for (qsizetype at = std::max<qsizetype>(end - kLastBytes, 0); at < end; ++at) {
        const qsizetype slot = at - (end - kLastBytes);
        if (at >= start)
            kept[slot] = bytes[at - start];
        else if (at >= m_size - kLastBytes)
            kept[slot] = m_lastBytes[at - (m_size - kLastBytes)];
    }
    std::memcpy(m_lastBytes, kept, sizeof kept);
    m_size = end;
}

qsizetype ListFileScan::countItems() const
{
    const qsizetype content = m_size - m_format.markBytes;
    if (content <= 0)
        return 0;
    const qsizetype units = unitBytes(m_format.encoding);
    // A UTF-16 file cut off in the middle of a unit ends in a character, not a line end.
    if (content % units != 0)
        return (m_format.unixLines ? m_lfs : m_crs) + 1;
    const auto byteAt = [&](qsizetype at) { return m_lastBytes[at - (m_size - kLastBytes)]; };
    const auto unitAt = [&](qsizetype fromEnd) -> char {
        const qsizetype at = m_size - fromEnd * units;
        if (at < m_format.markBytes)
            return 0;
        if (units == 1)
            return byteAt(at);
        const bool le = m_format.encoding == ListFileEncoding::Utf16LE;
        const char high = le ? byteAt(at + 1) : byteAt(at);
        return high == 0 ? (le ? byteAt(at) : byteAt(at + 1)) : char(1);
    };
    const char last = unitAt(1);
    if (m_format.unixLines)
        return m_lfs + (last == '\n' ? 0 : 1);
    const bool lineEndLast = last == '\r' || (last == '\n' && unitAt(2) == '\r');
    return m_crs + (lineEndLast ? 0 : 1);
}

} // namespace pq
