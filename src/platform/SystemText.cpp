#include "platform/SystemText.h"

#include "platform/Windows1252.h"

#include <QStringEncoder>

#include <algorithm>

namespace pq {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The length of the pair or the single unit at `at`, or 0 when it is an unpaired half.
qsizetype unitsOfCharacter(const QChar* text, qsizetype size, qsizetype at)
{
    const QChar c = text[at];
    if (!c.isSurrogate())
        return 1;
    if (c.isHighSurrogate() && at + 1 < size && text[at + 1].isLowSurrogate())
        return 2;
    return 0;
}

} // namespace

bool hasUnpairedSurrogate(QStringView text)
{
    const QChar* data = text.data();
    for (qsizetype at = 0; at < text.size();) {
        if (!data[at].isSurrogate()) {
            ++at;
            continue;
        }
        const qsizetype units = unitsOfCharacter(data, text.size(), at);
        if (units == 0)
            return true;
        at += units;
    }
    return false;
}

qsizetype replaceUnpairedSurrogates(QChar* text, qsizetype size)
{
    qsizetype replaced = 0;
    // Most text holds no surrogate at all: find the first one quickly.
    const auto isSurrogate = [](QChar c) { return (c.unicode() & 0xF800) == 0xD800; };
    for (qsizetype at = std::find_if(text, text + size, isSurrogate) - text; at < size;) {
        const qsizetype units = unitsOfCharacter(text, size, at);
        if (units == 0) {
            text[at] = QChar(kReplacement);
            ++replaced;
            ++at;
        } else {
            at += units;
        }
    }
    return replaced;
}

namespace SystemText {

QString decodeLegacy(QByteArrayView bytes)
{
    return decodeWindows1252(bytes);
}

qsizetype decodeLegacy(QByteArrayView bytes, QChar* out)
{
    decodeWindows1252(bytes, out);
    return bytes.size();
}

qsizetype append(QStringView text, QByteArray& out)
{
    // Stateless: a surrogate left without its pair at the end of a text is not held over
    // for the next one.
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    const qsizetype start = out.size();
    out.resize(start + encoder.requiredSpace(text.size()));
    char* end = encoder.appendToBuffer(out.data() + start, text);
    out.resize(end - out.constData());
    if (!encoder.hasError())
        return 0;
    // The encoder wrote U+FFFD for each unpaired surrogate; count them.
    qsizetype replaced = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const qsizetype units = unitsOfCharacter(text.data(), text.size(), at);
        if (units == 0)
            ++replaced;
        else
            at += units - 1;
    }
    return replaced;
}

} // namespace SystemText

} // namespace pq
