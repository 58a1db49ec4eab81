#pragma once

#include "platform/AppError.h"
#include "platform/ListPane.h"

#include <QStringView>

namespace pq {

class Runtime;

// The longest cell of one column over every row of a pane, ticked or not, read row by row
// with a yield before each; and the sum of their lengths, to size a text built from them.
// Throws AppError when a row vanishes meanwhile.
struct ColumnExtent
{
    qsizetype widest = 0;
    qsizetype total = 0;
};
ColumnExtent measureColumn(const ListPane& pane, int column, Runtime& runtime);

// Appends a cell padded with blanks to the column's width (no padding when the cell is
// longer), then one TAB: the layout of both the clipboard copy and the aligned text file.
// `Out` offers append(QStringView), appendSpaces(count) and appendChar(char).
template <typename Out> void appendPaddedCell(Out& out, QStringView cell, qsizetype width)
{
    out.append(cell);
    if (width >= cell.size())
        out.appendSpaces(width - cell.size());
    out.appendChar('\t');
}

// Calls `use` with the text of a cell: the row's text for column 1, its sub-item
// column - 1 otherwise. Throws AppError when the row or column does not exist.
template <typename Use> void withCell(const ListPane& pane, int row, int column, Use&& use)
{
    if (column == 1) {
        use(pane.view(row));
    } else {
        const QString subItem = pane.subItem(row, column - 1);
        use(QStringView(subItem));
    }
}

// What a writer says when the pane it saves changed under it.
inline constexpr QStringView kSavedButChanged = u"saved; the file was not changed.";

// Reads a pane that other commands may change while the reader yields. A read that fails
// once the pane has changed since the reader began (the row it wants has gone) fails in
// words the user can act on: "The Results changed while they were being <doing>".
class PaneReading
{
public:
    PaneReading(const ListPane& pane, QStringView doing)
        : m_pane(pane), m_revision(pane.revision()), m_doing(doing.toString())
    {
    }

    template <typename Read> void operator()(Read&& read) const
    {
        try {
            read();
        } catch (const AppError&) {
            if (m_pane.revision() != m_revision)
                throw AppError(changedMessage());
            throw;
        }
    }

private:
    QString changedMessage() const;

    const ListPane& m_pane;
    quint64 m_revision;
    QString m_doing;
};

} // namespace pq
