#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace pq {

// The platform's own text encoding, one function each way: UTF-8 here, where that is what
// text files are; a Windows build plugs its ANSI code page in here.
namespace SystemText {

// Text of a legacy list file, one that is neither UTF-8 nor marked as UTF-16: read as
// Windows-1252, where every byte maps to a character so nothing is lost.
QString decodeLegacy(QByteArrayView bytes);
// The same into room for a character per byte, allocating nothing; returns how many
// characters it wrote.
qsizetype decodeLegacy(QByteArrayView bytes, QChar* out);

// Appends `text` encoded for a result file. An unpaired surrogate, which no encoding can
// hold, is written as U+FFFD; returns how many were.
qsizetype append(QStringView text, QByteArray& out);

} // namespace SystemText

// Whether the text holds a UTF-16 code unit that is half of a pair without its other half.
bool hasUnpairedSurrogate(QStringView text);
// Replaces every unpaired surrogate by U+FFFD; returns how many.
qsizetype replaceUnpairedSurrogates(QChar* text, qsizetype size);
// The first of `size` units from `units` whose bits under `mask` are `value`; `units + size`
// when none is. Eight units at a time where the processor can.
const char16_t* findUnit(const char16_t* units, qsizetype size, char16_t mask, char16_t value);

} // namespace pq
