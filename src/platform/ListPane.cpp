#include "platform/ListPane.h"

#include "platform/AppError.h"

#include <QMetaObject>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

namespace pq {

namespace {

// A column's width until one is set, as the list control makes it.
constexpr int kDefaultColumnTwips = 1440;

AppError outOfBounds()
{
    return AppError(QStringLiteral("Index out of bounds"));
}

AppError invalidValue()
{
    return AppError(QStringLiteral("Invalid property value"));
}

// A view lays out every row it holds again once rows were inserted: in a pane this long,
// rows a command appends are shown once they are half as many as those shown, when kRowsWaitMs
// have passed, or when the command ends, not at every dispatch. The count is announced at
// every dispatch still.
constexpr int kLongPaneRows = 1 << 20;
constexpr qint64 kRowsWaitMs = 250;
// The most rows a view takes in one event, into a view that holds none yet: about 25 ms of
// its work on a recent machine. After each event the view also lays out again every row it
// held, at about a tenth of the cost of taking a row in, so the more it holds the fewer it
// takes, down to kFewestRowsPerEvent.
constexpr int kRowsPerEvent = 1 << 21;
constexpr int kFewestRowsPerEvent = 1 << 18;

// Where a row is once the runs were removed; -1 when it was one of them.
int rowAfterRemoval(int row, std::span<const RowRun> runs)
{
    const RowRun one{row, 1};
    const std::vector<RowRun> moved = runsAfterRemoval({&one, 1}, runs);
    return row < 0 || moved.empty() ? -1 : moved.front().first;
}

int rowAfterInsertion(int row, std::span<const RowRun> runs)
{
    const RowRun one{row, 1};
    return row < 0 ? -1 : runsAfterInsertion({&one, 1}, runs).front().first;
}

// Tool tips render anything that looks like markup; a row's tool tip is shown as typed.
QString plainToolTip(const QString& text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text) : text;
}

} // namespace

// Laying out millions of characters takes seconds a paint, and Qt's text layout fails
// outright on a few hundred million.
QString shownText(QStringView text)
{
    if (text.size() <= ListPane::kShownCharacters)
        return text.toString();
    qsizetype cut = ListPane::kShownCharacters;
    if (text.at(cut - 1).isHighSurrogate())
        --cut; // never half a character
    return text.first(cut) + u'\u2026';
}

ListPane::ListPane(QObject* parent) : QAbstractItemModel(parent)
{
    m_rowsWait.setSingleShot(true);
    connect(&m_rowsWait, &QTimer::timeout, this, &ListPane::flushRows);
}

void ListPane::addColumn(const QString& title)
{
    const int at = columnHeaderCount();
    beginInsertColumns({}, at, at);
    m_columnTitles.append(title);
    endInsertColumns();
    emit columnWidthChanged(at + 1, kDefaultColumnTwips);
}

QString ListPane::columnTitle(int column) const
{
    return m_columnTitles.at(columnIndex(column));
}

void ListPane::setColumnWidth(int column, int twips)
{
    columnIndex(column);
    if (twips < 0)
        throw invalidValue();
    emit columnWidthChanged(column, twips);
}

QString ListPane::text(int position) const
{
    return view(position).toString();
}

QStringView ListPane::view(int position) const
{
    return m_store.at(rowIndex(position)).view();
}

QString ListPane::subItem(int position, int index) const
{
    const int row = rowIndex(position);
    if (index < 1 || index >= columnHeaderCount())
        throw invalidValue();
    if (m_extras.empty())
        return {};
    return m_extras[size_t(row)].subItems.value(index - 1);
}

void ListPane::setSubItem(int position, int index, const QString& text)
{
    const int row = rowIndex(position);
    if (index < 1 || index >= columnHeaderCount())
        throw invalidValue();
    QStringList& items = extrasOf(row).subItems;
    while (items.size() < index)
        items.append(QString());
    items[index - 1] = text;
    if (row < m_shownRows)
        emit dataChanged(this->index(row, index), this->index(row, index));
}

QString ListPane::cell(int position, int column) const
{
    return column == 1 ? text(position) : subItem(position, column - 1);
}

bool ListPane::checked(int position) const
{
    return m_store.at(rowIndex(position)).checked;
}

void ListPane::setChecked(int position, bool checked)
{
    const int row = rowIndex(position);
    m_store.at(row).checked = checked;
    if (row < m_shownRows)
        emit dataChanged(index(row, 0), index(row, 0), {Qt::CheckStateRole});
}

void ListPane::setAllChecked(bool checked)
{
    for (qsizetype row = 0; row < m_store.size(); ++row)
        m_store.at(row).checked = checked;
    if (m_shownRows > 0)
        emit dataChanged(index(0, 0), index(m_shownRows - 1, 0), {Qt::CheckStateRole});
}

QString ListPane::rowToolTip(int position) const
{
    return toolTipOfRow(rowIndex(position));
}

QString ListPane::toolTipOfRow(int row) const
{
    if (m_extras.empty())
        return {};
    const RowExtras& extras = m_extras[size_t(row)];
    return extras.makeToolTip ? extras.makeToolTip() : extras.toolTip;
}

void ListPane::setRowToolTip(int position, const QString& toolTip)
{
    const int row = rowIndex(position);
    extrasOf(row).toolTip = toolTip;
    extrasOf(row).makeToolTip = {};
    toolTipChanged(row);
}

void ListPane::setRowToolTip(int position, std::function<QString()> makeToolTip)
{
    const int row = rowIndex(position);
    extrasOf(row).toolTip.clear();
    extrasOf(row).makeToolTip = std::move(makeToolTip);
    toolTipChanged(row);
}

void ListPane::toolTipChanged(int row)
{
    if (row < m_shownRows)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1), {Qt::ToolTipRole});
}

RowExtras& ListPane::extrasOf(int row)
{
    if (m_extras.empty())
        m_extras.resize(size_t(m_store.size()));
    return m_extras[size_t(row)];
}

void ListPane::add(QStringView text, bool checked)
{
    m_store.endSharing(); // before the blocks are counted: it may copy rows into new ones
    const int first = count();
    const size_t blocksBefore = m_store.blockCount();
    m_store.append(text, checked);
    if (!m_extras.empty())
        m_extras.emplace_back();
    rowsAppended(first, blocksBefore);
}

void ListPane::addShared(const TextRef& text, const std::shared_ptr<TextBlock>& block, bool checked)
{
    if (!m_store.sharesFrom(block.get()))
        m_store.endSharing();
    const int first = count();
    const size_t blocksBefore = m_store.blockCount();
    TextRef row = text;
    row.checked = checked;
    m_store.appendShared(row, block);
    if (!m_extras.empty())
        m_extras.emplace_back();
    rowsAppended(first, blocksBefore);
}

void ListPane::addBatch(TextBatch batch)
{
    if (batch.texts.empty())
        return;
    m_store.endSharing();
    const int first = count();
    const size_t blocksBefore = m_store.blockCount();
    m_store.append(std::move(batch));
    if (!m_extras.empty())
        m_extras.resize(size_t(m_store.size()));
    rowsAppended(first, blocksBefore);
}

void ListPane::reserve(qsizetype rows)
{
    m_store.reserve(rows);
}

void ListPane::remove(int position)
{
    removeRows({{rowIndex(position), 1}});
}

void ListPane::removeRange(int position, int rows)
{
    const int first = rowIndex(position);
    if (rows > 0)
        removeRows({{first, rows}});
}

void ListPane::removeRows(std::vector<RowRun> runs)
{
    runs = joinedRuns(std::move(runs));
    if (runs.empty())
        return;
    if (runs.front().first < 0 || runs.back().end() > count())
        throw outOfBounds();
    PaneChange change;
    change.kind = PaneChange::Kind::Removed;
    takeRuns(runs, &change);
    change.runs = std::move(runs);
    record(std::move(change));
}

void ListPane::clear()
{
    if (count() == 0) {
        // Nothing to take out. The blocks may still hold rows an undo step can put back, so
        // they go only when there is no such step.
        if (!m_history.recording()) {
            m_history.forget();
            m_store.clear();
        }
        changed();
        return;
    }
    PaneChange change;
    change.kind = PaneChange::Kind::Cleared;
    takeEverything(change);
    record(std::move(change));
}

void ListPane::takeBackAppended(int position, size_t blocksBefore)
{
    const int first = rowIndex(position);
    m_history.forget();
    takeRuns({{first, count() - first}}, nullptr);
    m_store.dropBlocksFrom(blocksBefore);
    changed();
}

bool ListPane::undo()
{
    if (!m_history.canUndo())
        return false;
    std::vector<PaneChange> changes = m_history.takeNewest();
    m_undoing = true;
    for (auto change = changes.rbegin(); change != changes.rend(); ++change)
        revert(*change);
    m_undoing = false;
    changed();
    return true;
}

void ListPane::revert(PaneChange& change)
{
    switch (change.kind) {
    case PaneChange::Kind::Appended:
        takeRuns({change.appended}, nullptr);
        m_store.dropBlocksFrom(change.blocksBefore);
        break;
    case PaneChange::Kind::Removed:
        putRuns(change);
        break;
    case PaneChange::Kind::Cleared:
        putEverything(change);
        break;
    }
}

template <typename Keep> void ListPane::keepInStep(Keep&& keep)
{
    try {
        keep();
    } catch (const std::bad_alloc&) {
        m_history.forget(); // a step without this change would put back wrong rows
        throw;
    }
}

void ListPane::record(PaneChange&& change)
{
    changed();
    if (m_undoing)
        return;
    if (!m_history.recording()) {
        m_history.forget();
        return;
    }
    keepInStep([&] { m_history.record(std::move(change)); });
}

// Runs many at once are announced as a reset: one by one, each would cost views a pass
// over every row.
template <typename Change> void ListPane::announceReset(Change&& change)
{
    beginResetModel();
    change();
    m_shownRows = count();
    endResetModel();
}

template <typename Change>
void ListPane::announceRemoval(RowRun run, bool manyRuns, Change&& change)
{
    if (manyRuns)
        return announceReset(change);
    const int shownEnd = std::min(run.end(), m_shownRows);
    if (run.first >= shownEnd) {
        change();
        return;
    }
    beginRemoveRows({}, run.first, shownEnd - 1);
    change();
    m_shownRows -= shownEnd - run.first;
    endRemoveRows();
}

template <typename Change>
void ListPane::announceInsertion(RowRun run, bool manyRuns, Change&& change)
{
    if (manyRuns)
        return announceReset(change);
    if (run.first > m_shownRows) {
        change();
        return;
    }
    beginInsertRows({}, run.first, run.end() - 1);
    change();
    m_shownRows += run.count;
    endInsertRows();
}

void ListPane::takeRuns(const std::vector<RowRun>& runs, PaneChange* change)
{
    const bool hadSelection = !m_selection.empty();
    announceRemoval(runs.front(), runs.size() > 1, [&] {
        m_store.eraseRuns(runs, change ? &change->texts : nullptr);
        if (!m_extras.empty())
            eraseRuns(m_extras, runs, change ? &change->extras : nullptr);
        moveSelection(runsAfterRemoval(m_selection, runs), rowAfterRemoval(m_selected, runs));
    });
    if (hadSelection)
        emit selectionMoved();
}

void ListPane::putRuns(PaneChange& change)
{
    const std::vector<RowRun>& runs = change.runs;
    const bool hadSelection = !m_selection.empty();
    announceInsertion(runs.front(), runs.size() > 1, [&] {
        if (!change.extras.empty() || !m_extras.empty()) {
            m_extras.resize(size_t(m_store.size()));
            change.extras.resize(change.texts.size());
            insertRuns(m_extras, runs, std::move(change.extras));
        }
        m_store.insertRuns(runs, std::move(change.texts));
        moveSelection(runsAfterInsertion(m_selection, runs), rowAfterInsertion(m_selected, runs));
    });
    if (hadSelection)
        emit selectionMoved();
}

void ListPane::takeEverything(PaneChange& change)
{
    beginResetModel();
    change.contents = m_store.takeAll();
    change.extras = std::move(m_extras);
    m_extras = {};
    m_shownRows = 0;
    const bool hadSelection = !m_selection.empty();
    moveSelection({}, -1);
    endResetModel();
    if (hadSelection)
        emit selectionMoved();
}

void ListPane::putEverything(PaneChange& change)
{
    const RowRun rows{0, static_cast<int>(change.contents.rows.size())};
    const bool hadSelection = !m_selection.empty();
    announceInsertion(rows, false, [&] {
        if (!change.extras.empty() || !m_extras.empty()) {
            m_extras.resize(size_t(m_store.size()));
            change.extras.resize(change.contents.rows.size());
            insertRuns(m_extras, {&rows, 1}, std::move(change.extras));
        }
        m_store.putBack(std::move(change.contents));
        moveSelection(runsAfterInsertion(m_selection, {&rows, 1}),
                      rowAfterInsertion(m_selected, {&rows, 1}));
    });
    if (hadSelection)
        emit selectionMoved();
}

// Done while views are told of the change, so that a view that rebuilds its selection from
// the pane's (after a reset) finds the moved one.
void ListPane::moveSelection(std::vector<RowRun> runs, int selectedRow)
{
    m_selection = std::move(runs);
    m_selected = selectedRow;
}

void ListPane::select(int position)
{
    setSelectedItem(position);
    m_selection.clear();
    if (m_selected >= 0)
        m_selection.push_back({m_selected, 1});
}

void ListPane::setSelectedItem(int position)
{
    m_selected = (position >= 1 && position <= count()) ? position - 1 : -1;
}

void ListPane::setSelection(std::vector<RowRun> runs, int selectedItem)
{
    m_selection = joinedRuns(std::move(runs));
    setSelectedItem(selectedItem);
}

void ListPane::setCheckable(bool checkable)
{
    if (checkable == m_checkable)
        return;
    beginResetModel();
    m_checkable = checkable;
    endResetModel();
}

void ListPane::setHeaderNote(const QString& note)
{
    if (note == m_headerNote)
        return;
    m_headerNote = note;
    emit headerNoteChanged();
}

void ListPane::flushRows()
{
    m_flushQueued = false;
    const int total = count();
    if (m_shownRows >= total)
        return;
    const qint64 waited = m_sinceRowsShown.isValid() ? m_sinceRowsShown.elapsed() : kRowsWaitMs;
    if (m_history.recording() && m_shownRows >= kLongPaneRows &&
        total - m_shownRows < m_shownRows / 2 && waited < kRowsWaitMs) {
        // Rows appended meanwhile look again, so that enough of them need not wait.
        if (!m_rowsWait.isActive())
            m_rowsWait.start(int(kRowsWaitMs - waited));
        return;
    }
    m_rowsWait.stop();
    m_sinceRowsShown.start();
    showMoreRows();
}

// Rows that waited for more to come are shown once the commands that appended them ended.
void ListPane::endCommand()
{
    m_history.endCommand();
    if (!m_history.recording() && m_rowsWait.isActive()) {
        m_rowsWait.stop();
        QMetaObject::invokeMethod(this, &ListPane::flushRows, Qt::QueuedConnection);
    }
}

int ListPane::rowsForNextEvent(int shownRows)
{
    return std::max(kFewestRowsPerEvent, kRowsPerEvent - shownRows / 10);
}

// A view takes in rowsForNextEvent rows at most in one event, the rest in the events after:
// one event that adds millions of rows would stand the window still for longer than it
// may. Nor are the events smaller than that: after each, the view lays out again every
// row it holds.
void ListPane::showMoreRows()
{
    m_flushQueued = false;
    const int total = count();
    if (m_shownRows >= total)
        return;
    const int most = rowsForNextEvent(m_shownRows);
    const int shown = total - m_shownRows > most ? m_shownRows + most : total;
    beginInsertRows({}, m_shownRows, shown - 1);
    m_shownRows = shown;
    endInsertRows();
    if (shown < total) {
        m_flushQueued = true;
        QMetaObject::invokeMethod(this, &ListPane::showMoreRows, Qt::QueuedConnection);
    }
}

void ListPane::rowsAppended(int first, size_t blocksBefore)
{
    changed();
    if (!m_history.recording())
        m_history.forget();
    else if (!m_undoing)
        keepInStep([&] { m_history.recordAppend(first, count() - first, blocksBefore); });
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    QMetaObject::invokeMethod(this, &ListPane::flushRows, Qt::QueuedConnection);
}

void ListPane::changed()
{
    ++m_revision;
    if (m_countQueued)
        return;
    m_countQueued = true;
    QMetaObject::invokeMethod(this, &ListPane::announceCount, Qt::QueuedConnection);
}

void ListPane::announceCount()
{
    m_countQueued = false;
    emit countChanged();
}

int ListPane::rowIndex(int position) const
{
    if (position < 1 || position > count())
        throw outOfBounds();
    return position - 1;
}

int ListPane::columnIndex(int column) const
{
    if (column < 1 || column > columnHeaderCount())
        throw outOfBounds();
    return column - 1;
}

QModelIndex ListPane::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || row >= m_shownRows || column < 0 ||
        column >= columnHeaderCount())
        return {};
    return createIndex(row, column);
}

QModelIndex ListPane::parent(const QModelIndex&) const
{
    return {};
}

int ListPane::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_shownRows;
}

int ListPane::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnHeaderCount();
}

QVariant ListPane::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_shownRows)
        return {};
    const size_t row = size_t(index.row());
    if (role == Qt::DisplayRole) {
        if (index.column() == 0)
            return shownText(m_store.at(index.row()).view());
        return m_extras.empty() ? QString()
                                : shownText(m_extras[row].subItems.value(index.column() - 1));
    }
    if (role == Qt::ToolTipRole) {
        const QString toolTip = toolTipOfRow(index.row());
        return toolTip.isEmpty() ? QVariant() : QVariant(plainToolTip(shownText(toolTip)));
    }
    if (role == Qt::CheckStateRole && m_checkable && index.column() == 0)
        return m_store.at(index.row()).checked ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool ListPane::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::CheckStateRole || !m_checkable || index.column() != 0)
        return false;
    setChecked(index.row() + 1, value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags ListPane::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_checkable && index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant ListPane::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnHeaderCount())
        return {};
    return m_columnTitles.at(section);
}

} // namespace pq
