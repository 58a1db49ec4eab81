#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace pq {

// Legacy list files are Windows-1252 text. The five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the control characters of the same number, so
// every byte decodes to a character and nothing is lost.
QString decodeWindows1252(QByteArrayView bytes);
// Decodes into room for a character per byte; allocates nothing.
void decodeWindows1252(QByteArrayView bytes, QChar* out);

} // namespace pq
