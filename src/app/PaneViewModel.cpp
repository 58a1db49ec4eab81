#include "app/PaneViewModel.h"

#include "platform/ListPane.h"

namespace pq {

PaneViewModel::PaneViewModel(ListPane& pane, QObject* parent)
    : QAbstractItemModel(parent), m_pane(&pane)
{
    connect(&pane, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) { beginInsertRows({}, first, last); });
    connect(&pane, &QAbstractItemModel::rowsInserted, this, [this] { endInsertRows(); });
    connect(&pane, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { beginRemoveRows({}, first, last); });
    connect(&pane, &QAbstractItemModel::rowsRemoved, this, [this] { endRemoveRows(); });
    connect(
        &pane, &QAbstractItemModel::columnsAboutToBeInserted, this,
        [this](const QModelIndex&, int first, int last) { beginInsertColumns({}, first, last); });
    connect(&pane, &QAbstractItemModel::columnsInserted, this, [this] { endInsertColumns(); });
    connect(&pane, &QAbstractItemModel::modelAboutToBeReset, this,
            &PaneViewModel::paneAboutToBeReset);
    connect(&pane, &QAbstractItemModel::modelReset, this, &PaneViewModel::paneReset);
    connect(&pane, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles) {
                emit dataChanged(ownIndex(topLeft), ownIndex(bottomRight), roles);
            });
    connect(&pane, &QAbstractItemModel::headerDataChanged, this,
            &QAbstractItemModel::headerDataChanged);
    // Views may outlive the pane, as the window's do while it is torn down.
    connect(&pane, &QObject::destroyed, this, [this] {
        m_pane = nullptr;
        beginResetModel();
        endResetModel();
    });
}

void PaneViewModel::retire()
{
    if (m_pane)
        disconnect(m_pane, nullptr, this, nullptr);
    m_pane = nullptr;
}

void PaneViewModel::paneAboutToBeReset()
{
    emit resetComing();
    if (!m_pane) // retired meanwhile
        return;
    m_resetting = true;
    beginResetModel();
}

void PaneViewModel::paneReset()
{
    if (!m_resetting) // made while the pane was being reset
        beginResetModel();
    m_resetting = false;
    endResetModel();
}

QModelIndex PaneViewModel::paneIndex(const QModelIndex& index) const
{
    return index.isValid() && m_pane ? m_pane->index(index.row(), index.column()) : QModelIndex();
}

QModelIndex PaneViewModel::ownIndex(const QModelIndex& paneIndex) const
{
    return paneIndex.isValid() ? createIndex(paneIndex.row(), paneIndex.column()) : QModelIndex();
}

QModelIndex PaneViewModel::index(int row, int column, const QModelIndex& parent) const
{
    return m_pane ? ownIndex(m_pane->index(row, column, paneIndex(parent))) : QModelIndex();
}

QModelIndex PaneViewModel::parent(const QModelIndex&) const
{
    return {};
}

int PaneViewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_pane ? 0 : m_pane->rowCount();
}

int PaneViewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_pane ? 0 : m_pane->columnCount();
}

QVariant PaneViewModel::data(const QModelIndex& index, int role) const
{
    return m_pane ? m_pane->data(paneIndex(index), role) : QVariant();
}

bool PaneViewModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    return m_pane && m_pane->setData(paneIndex(index), value, role);
}

Qt::ItemFlags PaneViewModel::flags(const QModelIndex& index) const
{
    return m_pane ? m_pane->flags(paneIndex(index)) : Qt::NoItemFlags;
}

QVariant PaneViewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return m_pane ? m_pane->headerData(section, orientation, role) : QVariant();
}

} // namespace pq
