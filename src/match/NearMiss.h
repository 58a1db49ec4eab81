#pragma once

#include "platform/Workspace.h"

#include <QString>
#include <QStringView>

namespace pq {

// The tool tip of a near miss: the List 2 text that `item` nearly matched, with its
// invisible characters made visible, and what differs, such as
//     List 2 has "apples·" — a trailing blank
//     List 2 has "apples" — U+200B ZERO WIDTH SPACE at position 3
// Differences the options ignore are left out. Positions count characters from 1, in the
// text that holds the character.
QString nearMissExplanation(QStringView item, QStringView list2Text, CompareOptions options);

// The text with what cannot be seen shown: leading and trailing spaces as "·", TABs as "→",
// and invisible characters and unusual spaces as their code, such as "[U+00A0]".
QString visibleText(QStringView text);

// The code and name of a blank or invisible character, such as "U+200B ZERO WIDTH SPACE".
QString characterName(char16_t c);

// What the header of Results shows of the options in force, such as "ignoring case" or
// "ignoring case and surrounding blanks · each result once"; empty with every option off.
QString resultsHeaderNote(CompareOptions options);

} // namespace pq
