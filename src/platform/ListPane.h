#pragma once

#include "platform/PaneHistory.h"
#include "platform/RowRuns.h"
#include "platform/TextStore.h"

#include <QAbstractItemModel>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QTimer>

#include <span>
#include <vector>

namespace pq {

// One list pane: titled columns and an ordered list of rows addressed by 1-based position.
// Each row has a text (column 1), sub-items (columns 2..), and a check mark.
// Reading or changing a position that does not exist throws AppError.
//
// It is also the model a report view shows. Appended rows are announced to views in one
// batch per event-loop dispatch, so appending a million rows one by one stays cheap;
// removals and resets are announced at once.
//
// Changes made while a command runs (beginCommand) are kept as undo steps (PaneHistory);
// a change made outside any command forgets them, so an undo never puts back wrong rows.
class ListPane : public QAbstractItemModel
{
    Q_OBJECT
public:
    // How many characters of an item views are given to draw and measure; a longer item
    // is shown cut there and followed by "…". The item itself is never cut.
    static constexpr qsizetype kShownCharacters = 4000;

    explicit ListPane(QObject* parent = nullptr);

    // The most appended rows views take in one event when they hold `shownRows` already.
    static int rowsForNextEvent(int shownRows);

    // Columns (ColumnHeaders), 1-based.
    void addColumn(const QString& title);
    int columnHeaderCount() const { return static_cast<int>(m_columnTitles.size()); }
    QString columnTitle(int column) const;
    void setColumnWidth(int column, int twips);

    // Rows (ListItems), 1-based.
    int count() const { return static_cast<int>(m_store.size()); }
    QString text(int position) const;
    // The row's text without a copy; valid until the pane next changes.
    QStringView view(int position) const;
    QString subItem(int position, int index) const; // a missing sub-item reads empty
    void setSubItem(int position, int index, const QString& text);
    QString cell(int position, int column) const; // column 1: text, column k: sub-item k - 1
    bool checked(int position) const;
    void setChecked(int position, bool checked);
    void setAllChecked(bool checked);
    // A row's own tool tip, which views show instead of the pane's; empty when it has none.
    // It stays with its row when other rows go or come back.
    QString rowToolTip(int position) const;
    void setRowToolTip(int position, const QString& toolTip);
    // A tool tip made whenever it is read, for rows many of which are never hovered.
    void setRowToolTip(int position, std::function<QString()> makeToolTip);

    // Copies the text into the pane.
    void add(QStringView text, bool checked = false);
    void add(const QString& text, bool checked = false) { add(QStringView(text), checked); }
    // Appends a text of another pane's, sharing the block that holds it (see
    // TextStore::appendShared) until endSharing or any other change.
    void addShared(const TextRef& text, const std::shared_ptr<TextBlock>& block, bool checked);
    void endSharing() { m_store.endSharing(); }
    // Appends the texts of a batch, which the pane takes over without copying them.
    void addBatch(TextBatch batch);
    void addMany(const QList<QString>& texts) { addBatch(TextBatch::of(texts)); }
    // Makes room for `rows` more rows, so appending them moves none of the rows held.
    void reserve(qsizetype rows);
    // See TextStore::roomForNextRows.
    std::span<std::byte> roomForNextRows(qsizetype rows) { return m_store.roomForNextRows(rows); }
    void remove(int position);
    // Removes `rows` rows from `position` on.
    void removeRange(int position, int rows);
    // Removes the rows of the runs (0-based rows, in any order, overlapping or not) in one
    // pass, however many runs there are. Throws AppError, removing nothing, when a run
    // reaches past the last row.
    void removeRows(std::vector<RowRun> runs);
    void clear();
    // Takes the rows from `position` on back out, with the blocks from `blocksBefore` on,
    // when the command that appended them cannot finish, often for want of memory: it
    // copies nothing, and the undo steps go, one of which holds the appending.
    void takeBackAppended(int position, size_t blocksBefore);
    size_t blockCount() const { return m_store.blockCount(); }
    std::span<const std::shared_ptr<TextBlock>> blocks() const { return m_store.blocks(); }

    // The selected item (SelectedItem) that the double-click removes; 0 when none.
    int selected() const { return m_selected + 1; }
    // Selects the one row at the position, or nothing, and makes it the selected item.
    void select(int position);
    void setSelectedItem(int position);
    // Every selected row, as joined runs, and the selected item; a view reports them here.
    void setSelection(std::vector<RowRun> runs, int selectedItem);
    std::span<const RowRun> selection() const { return m_selection; }

    // Whether views show a check box on each row.
    void setCheckable(bool checkable);

    // A few words the views show in the header before the count of items.
    const QString& headerNote() const { return m_headerNote; }
    void setHeaderNote(const QString& note);

    // Undo: see PaneHistory. undo() puts back the newest step and returns true, or returns
    // false when there is none or a command is still changing the pane.
    void beginCommand() { m_history.beginCommand(); }
    void endCommand();
    bool canUndo() const { return m_history.canUndo(); }
    bool undo();

    // Changes whenever rows are added, removed or cleared.
    quint64 revision() const { return m_revision; }
    // Every row's text in order, for bulk readers that must not pay per-row checks;
    // valid until the pane next changes.
    std::span<const TextRef> texts() const { return m_store.all(); }
    // Characters the pane's storage holds, in use or not.
    qsizetype heldCharacters() const { return m_store.heldCharacters(); }

    // Announces pending appended rows to views now.
    void flushRows();
    void showMoreRows();

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void columnWidthChanged(int column, int twips);
    // The count of rows changed; emitted at most once per event-loop dispatch.
    void countChanged();
    void headerNoteChanged();
    // The pane moved its selection itself, because rows before it went or came back.
    void selectionMoved();

private:
    int rowIndex(int position) const;  // throws unless 1 <= position <= count()
    int columnIndex(int column) const; // throws unless 1 <= column <= columnHeaderCount()
    void rowsAppended(int first, size_t blocksBefore);
    void changed();
    void announceCount();
    void record(PaneChange&& change);
    template <typename Keep> void keepInStep(Keep&& keep);
    RowExtras& extrasOf(int row);
    QString toolTipOfRow(int row) const;
    void toolTipChanged(int row);

    // Each takes the rows out or puts them back, tells views, and moves the selection.
    void takeRuns(const std::vector<RowRun>& runs, PaneChange* change);
    void putRuns(PaneChange& change);
    void takeEverything(PaneChange& change);
    void putEverything(PaneChange& change);
    void revert(PaneChange& change);
    template <typename Change> void announceReset(Change&& change);
    template <typename Change> void announceRemoval(RowRun run, bool manyRuns, Change&& change);
    template <typename Change> void announceInsertion(RowRun run, bool manyRuns, Change&& change);
    void moveSelection(std::vector<RowRun> runs, int selectedRow);

    QStringList m_columnTitles;
    TextStore m_store;
    std::vector<RowExtras> m_extras; // empty until a row has any, then one entry per row
    PaneHistory m_history;
    std::vector<RowRun> m_selection;
    QString m_headerNote;
    int m_selected = -1;
    int m_shownRows = 0;
    bool m_flushQueued = false;
    QElapsedTimer m_sinceRowsShown;
    QTimer m_rowsWait; // while a command still appends, the wait before rows are shown
    bool m_countQueued = false;
    bool m_checkable = false;
    bool m_undoing = false;
    quint64 m_revision = 0;
};

// What views are given of a text: the whole text, or its start cut at kShownCharacters
// (never inside a character) and "…".
QString shownText(QStringView text);

} // namespace pq
