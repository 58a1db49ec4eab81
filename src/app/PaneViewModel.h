#pragma once

#include <QAbstractItemModel>

namespace pq {

class ListPane;

// What one view is shown of a pane: its rows and columns as the pane announces them,
// passed on unchanged. A view that would otherwise have Qt free a large selection during a
// reset retires its model first (see ListPaneView): the retired model hears nothing more of
// the pane, so the persistent indexes of the old selection stay on it, untouched by the
// reset, and can be freed a slice at a time.
class PaneViewModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit PaneViewModel(ListPane& pane, QObject* parent = nullptr);

    // Stops passing on what the pane announces, and shows nothing of it from now on.
    void retire();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // The pane is about to be reset, and this model will pass the reset on once the
    // signal's handlers return, unless one of them retires it.
    void resetComing();

private:
    QModelIndex paneIndex(const QModelIndex& index) const;
    QModelIndex ownIndex(const QModelIndex& paneIndex) const;
    void paneAboutToBeReset();
    void paneReset();

    ListPane* m_pane; // none once retired or once the pane is gone
    bool m_resetting = false;
};

} // namespace pq
