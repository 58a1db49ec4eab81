#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

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
    explicit ListPane(QObject* parent = nullptr);

    // Columns (ColumnHeaders), 1-based.
    void addColumn(const QString& title);
    int columnHeaderCount() const { return static_cast<int>(m_columns.size()); }
    QString columnTitle(int column) const;
    int columnWidth(int column) const; // in twips
    void setColumnWidth(int column, int twips);

    // Rows (ListItems), 1-based.
    int count() const { return static_cast<int>(m_texts.size()); }
    const QString& text(int position) const;
    void setText(int position, const QString& text);
    QString subItem(int position, int index) const; // a missing sub-item reads empty
    void setSubItem(int position, int index, const QString& text);
    QString cell(int position, int column) const; // column 1: text, column k: sub-item k - 1
    bool checked(int position) const;
    void setChecked(int position, bool checked);

    void add(const QString& text, bool checked = false);
    void addMany(QList<QString> texts);
    // Makes room for `rows` more rows, so appending them moves none of the rows held.
    void reserve(qsizetype rows);
    void remove(int position);
    void clear();

    // The selected row (SelectedItem); 0 when none.
    int selected() const { return m_selected + 1; }
    void select(int position);

    // Whether views show a check box on each row.
    bool isCheckable() const { return m_checkable; }
    void setCheckable(bool checkable);

    // Changes whenever rows are added, removed, cleared or their text changes.
    quint64 revision() const { return m_revision; }
    // All row texts in order, for bulk readers that must not pay per-row checks.
    const QList<QString>& texts() const { return m_texts; }

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
    struct Column
    {
        QString title;
        int widthTwips = 1440;
    };

    int rowIndex(int position) const;  // throws unless 1 <= position <= count()
    int columnIndex(int column) const; // throws unless 1 <= column <= columnHeaderCount()
    void rowsAppended();
    void changed() { ++m_revision; }

    QList<Column> m_columns;
    QList<QString> m_texts;
    std::vector<char> m_checked;
    QList<QStringList> m_subItems; // empty until a sub-item is set, then one entry per row
    int m_selected = -1;
    int m_shownRows = 0;
    bool m_flushQueued = false;
    bool m_checkable = false;
    quint64 m_revision = 0;
};

} // namespace pq
