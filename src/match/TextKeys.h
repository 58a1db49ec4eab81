#pragma once

#include "platform/Workspace.h"

#include <QString>
#include <QStringView>

#include <vector>

namespace pq {

// Blanks: space, TAB and the other Unicode space separators.
bool isBlank(char16_t c);
// Characters that show as nothing, or as a plain space: the C0 and C1 controls other than
// TAB, DELETE, the no-break space, the soft hyphen, the zero-width spaces and joiners, the
// direction marks and controls, the word joiner and its kin, and the byte-order mark.
bool isInvisible(char16_t c);

// The text without its leading and trailing blanks.
QStringView trimBlanks(QStringView text);

// Makes the texts that items are compared by. Each key is made in a buffer of the maker's
// own and is valid until the maker makes the next key of its kind; a key that needs no
// change is a view of the text itself.
class KeyMaker
{
public:
    // The text as the options compare it: trimmed of blanks, case-folded.
    QStringView exactKey(QStringView text, CompareOptions options);
    // The text with case, surrounding blanks and invisible characters ignored: invisible
    // characters dropped, other space separators read as a space, trimmed, case-folded.
    QStringView looseKey(QStringView text);
    // The same, made in `out`, which has room for the text, wherever the text is plain
    // ASCII: the key is then a view of `out`.
    QStringView exactKey(QStringView text, CompareOptions options, char16_t* out);
    QStringView looseKey(QStringView text, char16_t* out);

private:
    QStringView looseKeyOfOther(QStringView text);

    std::vector<char16_t> m_exactRoom;
    std::vector<char16_t> m_looseRoom;
    QString m_exact;
    QString m_loose;
};

} // namespace pq
