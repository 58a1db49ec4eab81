#include "lists/ListFileFormat.h"

#include <cstdint>
#include <cstring>

namespace pq {

namespace {

// How many CRs and LFs stand in the bytes from `from` to `end`, in one pass that the
// compiler can widen: a call per line end would cost more than the counting.
void countCrLf(const char* data, qsizetype from, qsizetype end, qsizetype& crs, qsizetype& lfs)
{
    qsizetype cr = 0;
    qsizetype lf = 0;
    for (const char* at = data + from; at < data + end; ++at) {
        cr += *at == '\r';
        lf += *at == '\n';
    }
    crs += cr;
    lfs += lf;
}

// How many UTF-16 units from `from` to `end` (both at unit boundaries) are CR and LF;
// `low` is where a unit's low byte stands in it. One pass over whole units, which the
// compiler can widen, rather than a byte search that stops at every line end.
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
    const uint16_t crUnit = unitOf('\r');
    const uint16_t lfUnit = unitOf('\n');
    qsizetype cr = 0;
    qsizetype lf = 0;
    for (qsizetype at = from; at + 1 < end; at += 2) {
        uint16_t unit;
        std::memcpy(&unit, data + at, sizeof unit);
        cr += unit == crUnit;
        lf += unit == lfUnit;
    }
    crs += cr;
    lfs += lf;
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

void ListFileScan::add(QByteArrayView bytes)
{
    if (!m_decided && bytes.size() >= 3)
        decide(bytes);
    if (!m_decided)
        return;
    const qsizetype units = unitBytes(m_format.encoding);
    const qsizetype whole =
        m_format.markBytes + (bytes.size() - m_format.markBytes) / units * units;
    countLineEnds(bytes, whole);
    if (m_format.encoding == ListFileEncoding::Utf8)
        validate(bytes, characterBoundaryBefore(bytes, bytes.size()));
}

ListFileFormat ListFileScan::finish(QByteArrayView bytes)
{
    if (!m_decided)
        decide(bytes);
    const qsizetype units = unitBytes(m_format.encoding);
    countLineEnds(bytes, m_format.markBytes + (bytes.size() - m_format.markBytes) / units * units);
    if (m_format.encoding == ListFileEncoding::Utf8) {
        validate(bytes, bytes.size());
        // Without a mark, only a file that is UTF-8 as a whole is read as UTF-8.
        if (!m_format.validUtf8 && m_format.markBytes == 0)
            m_format.encoding = ListFileEncoding::Legacy;
    }
    m_format.unixLines = m_crs == 0 && m_lfs > 0;
    m_format.items = countItems(bytes);
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
    } else if (bytes.startsWith("\xFE\xFF")) {
        m_format.encoding = ListFileEncoding::Utf16BE;
        m_format.markBytes = 2;
    }
    m_counted = m_validated = m_format.markBytes;
}

void ListFileScan::countLineEnds(QByteArrayView bytes, qsizetype end)
{
    if (end <= m_counted)
        return;
    const char* data = bytes.data();
    if (unitBytes(m_format.encoding) == 1) {
        countCrLf(data, m_counted, end, m_crs, m_lfs);
    } else {
        const qsizetype low = m_format.encoding == ListFileEncoding::Utf16LE ? 0 : 1;
        countCrLfUnits(data, m_counted, end, low, m_crs, m_lfs);
    }
    m_counted = end;
}

void ListFileScan::validate(QByteArrayView bytes, qsizetype end)
{
    if (end <= m_validated)
        return;
    if (m_format.validUtf8)
        m_format.validUtf8 = bytes.sliced(m_validated, end - m_validated).isValidUtf8();
    m_validated = end;
}

qsizetype ListFileScan::countItems(QByteArrayView bytes) const
{
    const qsizetype content = bytes.size() - m_format.markBytes;
    if (content <= 0)
        return 0;
    const qsizetype units = unitBytes(m_format.encoding);
    // A UTF-16 file cut off in the middle of a unit ends in a character, not a line end.
    if (content % units != 0)
        return (m_format.unixLines ? m_lfs : m_crs) + 1;
    const auto unitAt = [&](qsizetype fromEnd) -> char {
        const qsizetype at = bytes.size() - fromEnd * units;
        if (at < m_format.markBytes)
            return 0;
        if (units == 1)
            return bytes[at];
        const bool le = m_format.encoding == ListFileEncoding::Utf16LE;
        const char high = le ? bytes[at + 1] : bytes[at];
        return high == 0 ? (le ? bytes[at] : bytes[at + 1]) : char(1);
    };
    const char last = unitAt(1);
    if (m_format.unixLines)
        return m_lfs + (last == '\n' ? 0 : 1);
    const bool lineEndLast = last == '\r' || (last == '\n' && unitAt(2) == '\r');
    return m_crs + (lineEndLast ? 0 : 1);
}

} // namespace pq
