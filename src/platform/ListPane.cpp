#include "platform/ListPane.h"

#include "platform/AppError.h"

#include <QMetaObject>

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

} // namespace

ListPane::ListPane(QObject* parent) : QAbstractItemModel(parent) {}

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
    if (m_subItems.isEmpty())
        return {};
    return m_subItems.at(row).value(index - 1);
}

void ListPane::setSubItem(int position, int index, const QString& text)
{
    const int row = rowIndex(position);
    if (index < 1 || index >= columnHeaderCount())
        throw invalidValue();
    if (m_subItems.isEmpty())
        m_subItems.resize(m_store.size());
    QStringList& items = m_subItems[row];
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

void ListPane::add(QStringView text, bool checked)
{
    m_store.append(text, checked);
    if (!m_subItems.isEmpty())
        m_subItems.append(QStringList());
    rowsAppended();
}

void ListPane::addBatch(TextBatch batch)
{
    if (batch.texts.empty())
        return;
    const qsizetype rows = static_cast<qsizetype>(batch.texts.size());
    m_store.append(std::move(batch));
    if (!m_subItems.isEmpty())
        m_subItems.resize(m_subItems.size() + rows);
    rowsAppended();
}

void ListPane::reserve(qsizetype rows)
{
    m_store.reserve(rows);
}

void ListPane::removeRange(int position, int rows)
{
    const int first = rowIndex(position);
    if (rows <= 0)
        return;
    const int last = rowIndex(position + rows - 1);
    // Only the rows views were told of are announced; the others were never shown.
    const int shownLast = std::min(last, m_shownRows - 1);
    const bool shown = first <= shownLast;
    if (shown)
        beginRemoveRows({}, first, shownLast);
    m_store.erase(first, rows);
    if (!m_subItems.isEmpty())
        m_subItems.remove(first, rows);
    if (m_selected >= first && m_selected <= last)
        m_selected = -1;
    else if (m_selected > last)
        m_selected -= rows;
    changed();
    if (shown) {
        m_shownRows -= shownLast - first + 1;
        endRemoveRows();
    }
}

void ListPane::clear()
{
    beginResetModel();
    m_store.clear();
    m_subItems.clear();
    m_selected = -1;
    m_shownRows = 0;
    changed();
    endResetModel();
}

void ListPane::select(int position)
{
    m_selected = (position >= 1 && position <= count()) ? position - 1 : -1;
}

void ListPane::setCheckable(bool checkable)
{
    if (checkable == m_checkable)
        return;
    beginResetModel();
    m_checkable = checkable;
    endResetModel();
}

void ListPane::flushRows()
{
    m_flushQueued = false;
    const int total = count();
    if (m_shownRows >= total)
        return;
    beginInsertRows({}, m_shownRows, total - 1);
    m_shownRows = total;
    endInsertRows();
}

void ListPane::rowsAppended()
{
    changed();
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    QMetaObject::invokeMethod(this, &ListPane::flushRows, Qt::QueuedConnection);
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
    const int row = index.row();
    if (role == Qt::DisplayRole) {
        if (index.column() == 0)
            return shownText(m_store.at(row).view());
        return m_subItems.isEmpty() ? QString()
                                    : shownText(m_subItems.at(row).value(index.column() - 1));
    }
    if (role == Qt::CheckStateRole && m_checkable && index.column() == 0)
        return m_store.at(row).checked ? Qt::Checked : Qt::Unchecked;
    return {};
}

QString ListPane::shownText(QStringView text) const
{
    // Laying out millions of characters takes seconds a paint, and Qt's text layout
    // fails outright on a few hundred million.
    if (text.size() <= kShownCharacters)
        return text.toString();
    qsizetype cut = kShownCharacters;
    if (text[cut - 1].isHighSurrogate())
        --cut;
    return text.first(cut) + u'\u2026';
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
