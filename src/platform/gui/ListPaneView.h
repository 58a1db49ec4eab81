#pragma once

#include <QTreeView>

namespace pq {

class ListPane;

// A report-style view of one list pane: one row per item, titled columns, one selected
// row. Reports double-clicks and key presses with the key code and shift state the
// commands expect (Delete is 46; shift 1, ctrl 2, alt 4).
class ListPaneView : public QTreeView
{
    Q_OBJECT
public:
    explicit ListPaneView(ListPane& pane, QWidget* parent = nullptr);

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
