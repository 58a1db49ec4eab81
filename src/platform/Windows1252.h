#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace pq {

// List and result files are Windows-1252 text. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the control characters of the same
// number, so every byte sequence decodes and encodes back to itself.
QString decodeWindows1252(QByteArrayView bytes);

// Appends the encoding of `text` to `out`. A character the code page cannot hold is written
// as "?" (one per UTF-16 code unit, so padded columns keep their width); returns how many
// were replaced.
qsizetype appendWindows1252(QStringView text, QByteArray& out);

} // namespace pq
