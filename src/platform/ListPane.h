#pragma once

#include "platform/TextStore.h"

#include <QAbstractItemModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <span>

namespace pq {

// One list pane: titled columns and an ordered list of rows addressed by 1-based position.
// Each row has a text (column 1), sub-items (columns 2..), and a check mark.
// Reading or changing a position that does not exist throws AppError.
//
// It is also the model a report view shows. Appended rows are announced to views in one
// batch per event-loop dispatch, so appending a million rows one by one stays cheap;
// removals and resets are announced at once.
class ListPane : public QAbstractItemModel
{
    Q_OBJECT
public:
    // How many characters of an item views are given to draw and measure; a longer item
    // is shown cut there and followed by "…". The item itself is never cut.
    static constexpr qsizetype kShownCharacters = 4000;

    explicit ListPane(QObject* parent = nullptr);

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

    // Copies the text into the pane.
    void add(QStringView text, bool checked = false);
    void add(const QString& text, bool checked = false) { add(QStringView(text), checked); }
    // Appends the texts of a batch, which the pane takes over without copying them.
    void addBatch(TextBatch batch);
    void addMany(const QList<QString>& texts) { addBatch(TextBatch::of(texts)); }
    // Makes room for `rows` more rows, so appending them moves none of the rows held.
    void reserve(qsizetype rows);
    void remove(int position) { removeRange(position, 1); }
    // Removes `rows` rows from `position` on.
    void removeRange(int position, int rows);
    void clear();

    // The selected row (SelectedItem); 0 when none.
    int selected() const { return m_selected + 1; }
    void select(int position);

    // Whether views show a check box on each row.
    void setCheckable(bool checkable);

    // Changes whenever rows are added, removed or cleared.
    quint64 revision() const { return m_revision; }
    // Every row's text in order, for bulk readers that must not pay per-row checks;
    // valid until the pane next changes.
    std::span<const TextRef> texts() const { return m_store.all(); }
    // Characters the pane's storage holds, in use or not.
    qsizetype heldCharacters() const { return m_store.heldCharacters(); }

    // Announces pending appended rows to views now.
    void flushRows();

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

private:
    QString shownText(QStringView text) const;
    int rowIndex(int position) const;  // throws unless 1 <= position <= count()
    int columnIndex(int column) const; // throws unless 1 <= column <= columnHeaderCount()
    void rowsAppended();
    void changed() { ++m_revision; }

    QStringList m_columnTitles;
    TextStore m_store;
    QList<QStringList> m_subItems; // empty until a sub-item is set, then one entry per row
    int m_selected = -1;
    int m_shownRows = 0;
    bool m_flushQueued = false;
    bool m_checkable = false;
    quint64 m_revision = 0;
};

} // namespace pq
