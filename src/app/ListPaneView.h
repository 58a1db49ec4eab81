#pragma once

#include <QHeaderView>
#include <QTableView>

namespace pq {

class ListPane;

// A report-style view of one list pane: one row per item, titled columns, one selected
// row. A table view with fixed row heights: appending rows costs no relayout of the rows
// already there, so a pane of a million rows stays quick. Reports double-clicks and key presses
// with the key code and shift state the commands expect (Delete is 46; shift 1, ctrl 2, alt 4).
class ListPaneView : public QTableView
{
    Q_OBJECT
public:
    explicit ListPaneView(ListPane& pane, QWidget* parent = nullptr);
    // The column header.
    QHeaderView* header() const { return horizontalHeader(); }

signals:
    void doubleClickedPane();
    void keyDown(int keyCode, int shift);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    ListPane& m_pane;
};

// The key code of a Qt key as the key handlers expect it.
int keyCodeOf(int qtKey);
int shiftStateOf(Qt::KeyboardModifiers modifiers);

} // namespace pq
