#include "lists/ListFileLines.h"

#include "platform/SpareBlocks.h"
#include "platform/SystemText.h"

#include <QScopeGuard>
#include <QStringDecoder>
#include <QSysInfo>

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Gathering lanes takes SSSE3 and POPCNT, which the compiler is asked for in the functions
// that gather alone, and which the processor is asked about before they are called.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PQ_GATHER_LANES 1
#include <tmmintrin.h>
#endif

namespace pq {

namespace {

constexpr char16_t kReplacement = 0xFFFD;
// How much of a long line is decoded between two yields.
constexpr qsizetype kLongLinePieceBytes = qsizetype(1) << 21;

// A decoder that keeps no state between calls, and keeps a U+FEFF that opens its input:
// the file's own mark is skipped before, and one at the start of a later slice is text.
QStringDecoder decoderFor(ListFileEncoding encoding)
{
    const auto flags = QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom;
    switch (encoding) {
    case ListFileEncoding::Utf16LE:
        return QStringDecoder(QStringDecoder::Utf16LE, flags);
    case ListFileEncoding::Utf16BE:
        return QStringDecoder(QStringDecoder::Utf16BE, flags);
    case ListFileEncoding::Utf8:
    case ListFileEncoding::Legacy:
        break;
    }
    return QStringDecoder(QStringDecoder::Utf8, flags);
}

qsizetype countOf(QStringView text, char16_t c)
{
    return std::count(text.begin(), text.end(), QChar(c));
}

// How often the UTF-8 encoding of U+FFFD stands in the bytes: replacement characters the
// file itself holds, which are no damage.
qsizetype replacementsWritten(QByteArrayView bytes)
{
    return bytes.count(QByteArrayView("\xEF\xBF\xBD"));
}

const char* lastByte(const char* begin, const char* end, char byte)
{
    while (end > begin) {
        if (*--end == byte)
            return end;
    }
    return nullptr;
}

// Whether the bytes lie in the block's characters, each unit in one.
bool holdsUnits(const TextBlock& block, QByteArrayView bytes)
{
    const auto* const chars = reinterpret_cast<const char*>(block.chars.constData());
    const char* const end = chars + block.chars.size() * qsizetype(sizeof(QChar));
    return !bytes.isEmpty() && std::less_equal<>()(chars, bytes.data()) &&
           std::less_equal<>()(bytes.data() + bytes.size(), end) &&
           (bytes.data() - chars) % qsizetype(sizeof(QChar)) == 0;
}

#if defined(__SSE2__)
// Copies the ASCII bytes that open `in`, sixteen at a time, while sixteen are left; returns
// how many. Writes up to sixteen characters past the last it counts, which the caller's
// room, a character per byte, always holds.
qsizetype copyLeadingAscii(const unsigned char* in, qsizetype size, char16_t* out)
{
    qsizetype done = 0;
    const __m128i zero = _mm_setzero_si128();
    while (done + 16 <= size) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done + 8),
                         _mm_unpackhi_epi8(bytes, zero));
        const int high = _mm_movemask_epi8(bytes);
        if (high != 0)
            return done + std::countr_zero(unsigned(high));
        done += 16;
    }
    return done;
}
#endif

// Calls `found` with the place of each `unit` among `size` units, in order. Sixteen units
// are looked at in one go where the processor can: a search started afresh after each line
// end cost more than the decoding of the line.
template <typename Found>
void forEachUnit(const char16_t* units, qsizetype size, char16_t unit, Found&& found)
{
    qsizetype at = 0;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(unit));
    for (; at + 16 <= size; at += 16) {
        const auto* chunk = reinterpret_cast<const __m128i*>(units + at);
        const __m128i low = _mm_cmpeq_epi16(_mm_loadu_si128(chunk), wanted);
        const __m128i high = _mm_cmpeq_epi16(_mm_loadu_si128(chunk + 1), wanted);
        for (auto hits = unsigned(_mm_movemask_epi8(_mm_packs_epi16(low, high))); hits != 0;
             hits &= hits - 1)
            found(at + std::countr_zero(hits));
    }
#endif
    for (; at < size; ++at) {
        if (units[at] == unit)
            found(at);
    }
}

#if defined(PQ_GATHER_LANES)
// For each set of eight 16-bit lanes to keep, the shuffle that moves them to the front.
struct LaneGathers
{
    alignas(16) unsigned char control[256][16] = {};

    constexpr LaneGathers()
    {
        for (int kept = 0; kept < 256; ++kept) {
            int to = 0;
            for (int lane = 0; lane < 8; ++lane) {
                if ((kept & (1 << lane)) == 0)
                    continue;
                control[kept][to++] = static_cast<unsigned char>(2 * lane);
                control[kept][to++] = static_cast<unsigned char>(2 * lane + 1);
            }
            while (to < 16)
                control[kept][to++] = 0x80; // a zero
        }
    }
};
constexpr LaneGathers kLaneGathers;

// What a decoding took and made.
struct Decoded
{
    qsizetype bytes = 0;
    qsizetype characters = 0;
};

// Eight bytes widened to lanes, with the bytes after each: a lead byte's lane takes the
// character it starts with the byte after it.
__attribute__((target("ssse3,popcnt"))) __m128i twoByteLanes(__m128i bytes, __m128i following)
{
    const __m128i lead = _mm_cmpgt_epi16(bytes, _mm_set1_epi16(0xBF));
    const __m128i pair = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(bytes, _mm_set1_epi16(0x1F)), 6),
                                      _mm_and_si128(following, _mm_set1_epi16(0x3F)));
    return _mm_or_si128(_mm_and_si128(lead, pair), _mm_andnot_si128(lead, bytes));
}

// Writes the lanes set in `kept` one after the other.
__attribute__((target("ssse3,popcnt"))) void storeKept(__m128i lanes, unsigned kept, char16_t* out,
                                                       Decoded& done)
{
    const __m128i control =
        _mm_load_si128(reinterpret_cast<const __m128i*>(kLaneGathers.control[kept]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done.characters),
                     _mm_shuffle_epi8(lanes, control));
    done.characters += std::popcount(kept);
}

// Decodes checked UTF-8 sixty-four bytes at a time while they hold ASCII and two-byte
// characters alone, the bytes of most European text; stops before sixty-four that hold a
// longer character, or when fewer than sixty-five are left. Each byte is made a 16-bit
// lane, a lead byte's lane takes the character it starts, and the lanes of continuation
// bytes are dropped. Text with an accented letter every few words took a detour at each,
// which cost more than the rest of its decoding; whether sixty-four bytes are all ASCII
// is asked rather than sixteen, as in such text the answer is hard to foresee and each
// wrong guess costs the processor as much as decoding sixteen bytes. Writes up to eight
// characters past the last it counts, which the caller's room, a character per byte,
// always holds.
__attribute__((target("ssse3,popcnt"))) Decoded decodeTwoByteText(const unsigned char* in,
                                                                  qsizetype size, char16_t* out)
{
    constexpr qsizetype kStep = 64;
    const __m128i zero = _mm_setzero_si128();
    const __m128i e0 = _mm_set1_epi8(char(0xE0));
    const __m128i c0 = _mm_set1_epi8(char(0xC0));
    Decoded done;
    while (done.bytes + kStep + 1 <= size) {
        const unsigned char* at = in + done.bytes;
        __m128i chunks[4];
        for (int k = 0; k < 4; ++k)
            chunks[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * k));
        const __m128i any =
            _mm_or_si128(_mm_or_si128(chunks[0], chunks[1]), _mm_or_si128(chunks[2], chunks[3]));
        if (_mm_movemask_epi8(any) == 0) {
            for (int k = 0; k < 4; ++k) {
                char16_t* const to = out + done.characters + 16 * k;
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                                 _mm_unpacklo_epi8(chunks[k], zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 8),
                                 _mm_unpackhi_epi8(chunks[k], zero));
            }
            done.bytes += kStep;
            done.characters += kStep;
            continue;
        }
        const __m128i highest =
            _mm_max_epu8(_mm_max_epu8(chunks[0], chunks[1]), _mm_max_epu8(chunks[2], chunks[3]));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(highest, e0), highest)) != 0)
            break;
        // A character that starts in a chunk's last byte ends in the next: its lane takes
        // it, and the next chunk's first lane, a continuation, is dropped.
        for (int k = 0; k < 4; ++k) {
            const __m128i following =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * k + 1));
            // Continuation bytes, 80..BF, lie below C0 as signed bytes; nothing else does.
            const auto kept = ~unsigned(_mm_movemask_epi8(_mm_cmplt_epi8(chunks[k], c0))) & 0xFFFFu;
            storeKept(twoByteLanes(_mm_unpacklo_epi8(chunks[k], zero),
                                   _mm_unpacklo_epi8(following, zero)),
                      kept & 0xFFu, out, done);
            storeKept(twoByteLanes(_mm_unpackhi_epi8(chunks[k], zero),
                                   _mm_unpackhi_epi8(following, zero)),
                      kept >> 8, out, done);
        }
        done.bytes += at[kStep - 1] >= 0xC0 ? kStep + 1 : kStep;
    }
    return done;
}

bool gathersLanes()
{
    static const bool supported =
        __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
    return supported;
}
#endif

// Decodes bytes already checked to be UTF-8 as a whole, with no check of its own: Qt's
// decoder checks every sequence again, which made UTF-8 the slowest encoding to load.
// `out` has room for a character per byte.
qsizetype decodeCheckedUtf8(QByteArrayView bytes, QChar* out)
{
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    auto* to = reinterpret_cast<char16_t*>(out);
    qsizetype at = 0;
    qsizetype written = 0;
#if defined(PQ_GATHER_LANES)
    // After bytes with a longer character, the next are taken one by one for a while.
    constexpr qsizetype kOneByOne = 64;
    qsizetype gatherFrom = gathersLanes() ? 0 : size;
#endif
    while (at < size) {
#if defined(PQ_GATHER_LANES)
        if (at >= gatherFrom) {
            const Decoded decoded = decodeTwoByteText(in + at, size - at, to + written);
            at += decoded.bytes;
            written += decoded.characters;
            gatherFrom = at + kOneByOne;
        }
#endif
#if defined(__SSE2__)
        const qsizetype ascii = copyLeadingAscii(in + at, size - at, to + written);
        at += ascii;
        written += ascii;
        if (at >= size)
            break;
#endif
        const unsigned lead = in[at];
        const qsizetype length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (at + length > size) { // not what a check let through; Qt's decoder copes
            QStringDecoder decoder = decoderFor(ListFileEncoding::Utf8);
            const QChar* end = decoder.appendToBuffer(out + written, bytes.sliced(at));
            return end - out;
        }
        if (lead < 0x80) {
            to[written++] = char16_t(lead);
            at += 1;
        } else if (lead < 0xE0) {
            to[written++] = char16_t(((lead & 0x1F) << 6) | (in[at + 1] & 0x3F));
            at += 2;
        } else if (lead < 0xF0) {
            to[written++] =
                char16_t(((lead & 0x0F) << 12) | ((in[at + 1] & 0x3F) << 6) | (in[at + 2] & 0x3F));
            at += 3;
        } else {
            const char32_t point = ((lead & 0x07) << 18) | ((in[at + 1] & 0x3F) << 12) |
                                   ((in[at + 2] & 0x3F) << 6) | (in[at + 3] & 0x3F);
            to[written++] = char16_t(0xD800 + ((point - 0x10000) >> 10));
            to[written++] = char16_t(0xDC00 + ((point - 0x10000) & 0x3FF));
            at += 4;
        }
    }
    return written;
}

} // namespace

ListFileLines::ListFileLines(QByteArrayView bytes, const ListFileFormat& format,
                             std::shared_ptr<TextBlock> holding)
    : m_bytes(bytes), m_format(format), m_unit(unitBytes(format.encoding)),
      m_pos(std::min(format.markBytes, bytes.size()))
{
    m_end = m_pos + (bytes.size() - m_pos) / m_unit * m_unit;
    constexpr ListFileEncoding kNative = QSysInfo::ByteOrder == QSysInfo::LittleEndian
                                             ? ListFileEncoding::Utf16LE
                                             : ListFileEncoding::Utf16BE;
    if (holding && format.encoding == kNative && holdsUnits(*holding, bytes))
        m_inPlace = std::move(holding);
}

// The line-end character of a code unit: CR or LF, or 0 for any other.
bool ListFileLines::isLineEnd(qsizetype at) const
{
    const char wanted = m_format.unixLines ? '\n' : '\r';
    if (m_unit == 1)
        return m_bytes[at] == wanted;
    const bool le = m_format.encoding == ListFileEncoding::Utf16LE;
    return m_bytes[le ? at + 1 : at] == 0 && m_bytes[le ? at : at + 1] == wanted;
}

qsizetype ListFileLines::afterLineEnd(qsizetype at) const
{
    qsizetype after = at + m_unit;
    if (!m_format.unixLines && after < m_end) {
        const bool le = m_format.encoding == ListFileEncoding::Utf16LE;
        const bool lf = m_unit == 1 ? m_bytes[after] == '\n'
                                    : m_bytes[le ? after + 1 : after] == 0 &&
                                          m_bytes[le ? after : after + 1] == '\n';
        if (lf)
            after += m_unit;
    }
    return after;
}

// Where the line-end byte of a unit at `unit` stands; the search goes by that byte.
static qsizetype lineEndByteOffset(ListFileEncoding encoding)
{
    return encoding == ListFileEncoding::Utf16BE ? 1 : 0;
}

qsizetype ListFileLines::lastLineEndBefore(qsizetype from, qsizetype end) const
{
    const char wanted = m_format.unixLines ? '\n' : '\r';
    const qsizetype offset = lineEndByteOffset(m_format.encoding);
    const char* data = m_bytes.data();
    qsizetype stop = end;
    while (stop > from) {
        const char* hit = lastByte(data + from, data + stop, wanted);
        if (!hit)
            return -1;
        const qsizetype at = hit - data - offset;
        if (at >= from && (at - m_format.markBytes) % m_unit == 0 && at + m_unit <= end &&
            isLineEnd(at))
            return at;
        stop = at + offset;
    }
    return -1;
}

qsizetype ListFileLines::nextLineEndFrom(qsizetype from) const
{
    const char wanted = m_format.unixLines ? '\n' : '\r';
    const qsizetype offset = lineEndByteOffset(m_format.encoding);
    const char* data = m_bytes.data();
    qsizetype start = from + offset;
    while (start < m_end) {
        const void* hit = std::memchr(data + start, wanted, size_t(m_end - start));
        if (!hit)
            return -1;
        const qsizetype at = static_cast<const char*>(hit) - data - offset;
        if ((at - m_format.markBytes) % m_unit == 0 && isLineEnd(at))
            return at;
        start = at + offset + 1;
    }
    return -1;
}

qsizetype ListFileLines::afterLastWholeLine(QByteArrayView bytes, const ListFileFormat& format)
{
    const ListFileLines lines(bytes, format);
    const qsizetype stop = format.unixLines ? lines.m_end : lines.m_end - lines.m_unit;
    // The search back goes a byte at a time: a part of a long line, with no line end at
    // all, is first looked through sixteen bytes at a time.
    const char wanted = format.unixLines ? '\n' : '\r';
    if (stop <= lines.m_pos ||
        !std::memchr(bytes.data() + lines.m_pos, wanted, size_t(stop - lines.m_pos)))
        return 0;
    const qsizetype last = lines.lastLineEndBefore(lines.m_pos, stop);
    return last < 0 ? 0 : lines.afterLineEnd(last);
}

TextBatch ListFileLines::nextBatch(qsizetype batchBytes)
{
    if (m_longLine)
        return continueLongLine();
    std::optional<Stretch> stretch = cut(batchBytes);
    if (!stretch)
        return continueLongLine();
    decode(*stretch);
    return take(*stretch);
}

std::vector<TextBatch> ListFileLines::nextBatches(HelperThread& helper,
                                                  const std::function<void()>& whileWaiting,
                                                  qsizetype batchBytes)
{
    std::vector<TextBatch> batches;
    if (m_longLine) {
        batches.push_back(continueLongLine());
        return batches;
    }
    std::optional<Stretch> first = cut(batchBytes);
    if (!first) {
        batches.push_back(continueLongLine());
        return batches;
    }
    std::optional<Stretch> second = atEnd() || m_longLine ? std::nullopt : cut(batchBytes);
    if (second) {
        const auto finishHelper = qScopeGuard([&helper] { helper.finish(); });
        helper.start([this, &second] { decode(*second); });
        decode(*first);
        helper.waitWhile(whileWaiting);
    } else {
        decode(*first);
    }
    batches.push_back(take(*first));
    if (second)
        batches.push_back(take(*second));
    return batches;
}

// Cuts the whole lines of the next batch off and makes room for their characters; none
// when a long line opens it, which is then taken a piece at a time.
std::optional<ListFileLines::Stretch> ListFileLines::cut(qsizetype batchBytes)
{
    qsizetype end;
    if (m_pos >= m_end) {
        end = m_bytes.size(); // only the odd last byte of a UTF-16 file is left
    } else {
        const qsizetype span = std::min(m_end, m_pos + std::max(batchBytes, m_unit)) - m_pos;
        const qsizetype window = m_pos + span / m_unit * m_unit;
        const qsizetype last = lastLineEndBefore(m_pos, window);
        if (last >= 0) {
            end = afterLineEnd(last);
        } else {
            const qsizetype next = nextLineEndFrom(window);
            const qsizetype lineEnd = next >= 0 ? next : m_end;
            end = next >= 0 ? afterLineEnd(next) : m_bytes.size();
            if (lineEnd - m_pos > kListFileLongLineBytes) {
                m_longLine = true;
                m_longEnd = lineEnd;
                m_longNext = end;
                return std::nullopt;
            }
        }
    }
    Stretch stretch;
    stretch.from = m_pos;
    stretch.stop = std::min(end, m_end);
    stretch.unitCutOff = end >= m_end && m_end < m_bytes.size();
    if (m_inPlace && !stretch.unitCutOff) {
        stretch.inPlace = true;
        stretch.room = (stretch.stop - m_pos) / 2;
        const auto* const chars = reinterpret_cast<const char*>(m_inPlace->chars.constData());
        stretch.out = m_inPlace->chars.data() + (m_bytes.data() + m_pos - chars) / 2;
        stretch.batch = TextBatch(m_inPlace);
    } else {
        stretch.room = roomFor(stretch.stop - m_pos) + 1;
        TextBlock& block = blockWithRoom(stretch.room);
        stretch.out = block.chars.data() + block.used;
        stretch.batch = TextBatch(m_block);
        block.used += stretch.room;
    }
    // Room for the lines a stretch of this size holds in this file, and a quarter more, so
    // that the decoding seldom has to make more: counting them would be another pass over
    // the bytes.
    const qsizetype content = std::max<qsizetype>(m_end - m_format.markBytes, 1);
    const double expected = double(m_format.items) * double(stretch.stop - m_pos) / double(content);
    stretch.batch.texts.reserve(size_t(expected * 1.25) + 16);
    m_pos = stretch.unitCutOff ? m_bytes.size() : end;
    return stretch;
}

// Touches nothing but the stretch and its room, so that another thread may decode the
// next stretch meanwhile.
void ListFileLines::decode(Stretch& stretch) const
{
    if (stretch.inPlace) {
        stretch.size = stretch.room;
        if (m_format.mayHaveSurrogates)
            stretch.damaged += replaceUnpairedSurrogates(stretch.out, stretch.size);
    } else {
        stretch.size = decodeInto(stretch.from, stretch.stop, stretch.out, stretch.damaged);
    }
    if (stretch.unitCutOff) {
        stretch.out[stretch.size++] = QChar(kReplacement);
        ++stretch.damaged;
    }
    split(stretch);
}

// The stretch's batch, its lines counted and its damage noted. Room it did not need is
// given back when no other stretch was cut from the block after it.
TextBatch ListFileLines::take(Stretch& stretch)
{
    TextBlock& block = *stretch.batch.block;
    if (!stretch.inPlace && block.chars.constData() + block.used == stretch.out + stretch.room)
        block.used -= stretch.room - stretch.size;
    if (stretch.damaged > 0)
        noteDamage(stretch.damaged, m_lines + std::max<qsizetype>(stretch.damagedLine, 0));
    m_lines += stretch.lines;
    return std::move(stretch.batch);
}

// Characters that decoding `bytes` bytes may take at most.
qsizetype ListFileLines::roomFor(qsizetype bytes) const
{
    if (m_format.encoding == ListFileEncoding::Legacy)
        return bytes;
    return decoderFor(m_format.encoding).requiredSpace(bytes);
}

qsizetype ListFileLines::decodeInto(qsizetype from, qsizetype end, QChar* out,
                                    qsizetype& damaged) const
{
    const QByteArrayView bytes = m_bytes.sliced(from, end - from);
    if (m_format.encoding == ListFileEncoding::Legacy)
        return SystemText::decodeLegacy(bytes, out);
    if (m_format.encoding == ListFileEncoding::Utf8 && m_format.validUtf8)
        return decodeCheckedUtf8(bytes, out);
    QStringDecoder decoder = decoderFor(m_format.encoding);
    const qsizetype size = decoder.appendToBuffer(out, bytes) - out;
    if (m_unit == 2 && m_format.mayHaveSurrogates)
        damaged += replaceUnpairedSurrogates(out, size);
    else if (!m_format.validUtf8)
        damaged += countOf(QStringView(out, size), kReplacement) - replacementsWritten(bytes);
    return size;
}

// The block with room for `characters` more; a new one, sized for what is left of the
// file up to kListFileBlockCharacters, when the one in use is full.
TextBlock& ListFileLines::blockWithRoom(qsizetype characters)
{
    if (m_block && m_block->chars.size() - m_block->used >= characters)
        return *m_block;
    const qsizetype left = roomFor(m_bytes.size() - m_pos) + 1;
    const qsizetype size = std::max(characters, std::min(left, kListFileBlockCharacters));
    m_block = SpareBlocks::shared().make(size);
    return *m_block;
}

void ListFileLines::split(Stretch& stretch) const
{
    const char16_t* data = reinterpret_cast<const char16_t*>(stretch.out);
    const qsizetype offset = stretch.out - stretch.batch.block->chars.constData();
    const char16_t lineEnd = m_format.unixLines ? u'\n' : u'\r';
    const qsizetype size = stretch.size;
    qsizetype from = 0;
    const auto addLine = [&](qsizetype stop) {
        if (stretch.damaged > 0 && stretch.damagedLine < 0 &&
            QStringView(data + from, stop - from).contains(QChar(kReplacement)))
            stretch.damagedLine = stretch.lines;
        stretch.batch.addText(offset + from, stop - from);
        ++stretch.lines;
        from = stop + 1;
        if (lineEnd == u'\r' && from < size && data[from] == u'\n')
            ++from;
    };
    forEachUnit(data, size, lineEnd, addLine);
    if (from < size)
        addLine(size);
}

TextBatch ListFileLines::continueLongLine()
{
    if (m_longChars.isNull()) {
        const qsizetype bytes = m_longEnd - m_pos;
        const qsizetype room = m_format.encoding == ListFileEncoding::Legacy
                                   ? bytes
                                   : decoderFor(m_format.encoding).requiredSpace(bytes);
        m_longChars = QString(room + 1, Qt::Uninitialized);
        m_longWritten = 0;
    }
    qsizetype piece = std::min(kLongLinePieceBytes, m_longEnd - m_pos);
    if (piece < m_longEnd - m_pos)
        piece = pieceBoundary(m_pos, piece);
    qsizetype damaged = 0;
    m_longWritten += decodeInto(m_pos, m_pos + piece, m_longChars.data() + m_longWritten, damaged);
    if (damaged > 0)
        noteDamage(damaged, m_lines);
    m_pos += piece;
    if (m_pos < m_longEnd)
        return TextBatch(QString());

    if (m_longEnd == m_end && m_end < m_bytes.size()) {
        m_longChars[m_longWritten++] = QChar(kReplacement); // a last unit cut off
        noteDamage(1, m_lines);
    }
    m_longChars.resize(m_longWritten);
    TextBatch batch(std::move(m_longChars));
    m_longChars = QString();
    batch.addText(0, m_longWritten);
    ++m_lines;
    m_pos = m_longNext;
    m_longLine = false;
    return batch;
}

// Shortens a piece of a long line so that it ends between two characters: UTF-8 is not
// cut inside a sequence, UTF-16 not between the two halves of a pair.
qsizetype ListFileLines::pieceBoundary(qsizetype from, qsizetype piece) const
{
    if (m_unit == 2) {
        piece -= piece % 2;
        const bool le = m_format.encoding == ListFileEncoding::Utf16LE;
        const auto high = static_cast<unsigned char>(m_bytes[from + piece - (le ? 1 : 2)]);
        if ((high & 0xFC) == 0xD8)
            piece -= 2;
        return piece;
    }
    if (m_format.encoding != ListFileEncoding::Utf8)
        return piece;
    qsizetype cut = piece;
    for (int back = 0; back < 4 && cut > 0; ++back) {
        const auto byte = static_cast<unsigned char>(m_bytes[from + cut]);
        if ((byte & 0xC0) != 0x80)
            return cut;
        --cut;
    }
    return piece;
}

void ListFileLines::noteDamage(qsizetype places, qsizetype line)
{
    if (m_damage.places == 0)
        m_damage.firstLine = line + 1;
    m_damage.places += places;
}

} // namespace pq
