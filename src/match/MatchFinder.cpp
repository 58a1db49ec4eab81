#include "match/MatchFinder.h"

#include "app/ErrorReport.h"
#include "app/Workspace.h"
#include "match/TextIndex.h"
#include "platform/EventPump.h"

#include <cmath>

namespace pq {

namespace {

// An index of List 2 that follows its changes: rebuilt whenever List 2 changed since the
// last build, so a run always looks at the pane's current content.
class List2Index
{
public:
    explicit List2Index(Workspace& ws) : m_ws(ws) {}

    // Whether `text` occurs among the first `bound` items of List 2.
    bool contains(const QString& text, int bound)
    {
        const ListPane& list2 = m_ws.listView2;
        while (!m_built || m_revision != list2.revision()) {
            m_revision = list2.revision();
            m_built = m_index.build(list2.texts(), [&] {
                m_ws.pump.yield();
                return m_revision == list2.revision();
            });
        }
        const int first = m_index.firstPosition(text);
        return first != 0 && first <= bound;
    }

private:
    Workspace& m_ws;
    TextIndex m_index;
    quint64 m_revision = 0;
    bool m_built = false;
};

} // namespace

int progressPercent(int i, int count)
{
    if (count == 0)
        throw AppError(QStringLiteral("Division by zero"));
    const double percent = static_cast<double>(i) / static_cast<double>(count) * 100.0;
    return static_cast<int>(std::floor(percent));
}

QString FileNamePart(const QString& text)
{
    return text.mid(text.lastIndexOf(u'\\') + 1);
}

void PushButton11_Click(Workspace& ws)
{
    Trap trap(ws.host, QStringLiteral("Form1.PushButton11_Click"));
    ListPane& list1 = ws.listView1;
    ListPane& list2 = ws.listView2;
    List2Index index(ws);

    trap.step(100, [&] { ws.pump.yield(); });
    int count1 = 0;
    trap.step(102, [&] { count1 = list1.count(); });
    // List 1 may shrink while the run yields: the run then ends where the list ends.
    const auto stillInList1 = [&](int i) { return i <= list1.count(); };
    for (int i = 1; i <= count1 && !trap.halted(); ++i) {
        trap.loopStep(104, [&] { ws.pump.yield(); });
        if (!stillInList1(i))
            break;
        trap.loopStep(106, [&] { ws.progressBar1.setValue(progressPercent(i, list1.count())); });
        int count2 = 0;
        trap.loopStep(108, [&] { count2 = list2.count(); });
        if (count2 <= 0)
            continue;
        trap.loopStep(110, [&] { ws.pump.yield(); });
        if (!stillInList1(i))
            break;
        QString a;
        trap.loopStep(112, [&] {
            a = list1.text(i);
            // The caption only shows when the window repaints, so it is built only then.
            if (ws.pump.dispatchDue())
                ws.progressBar1.setText(u"Processing: " + FileNamePart(a));
            ws.pump.yield();
        });
        if (!stillInList1(i))
            break;
        bool found = false;
        trap.loopStep(116, [&] { found = index.contains(a, std::min(count2, list2.count())); });
        if (found)
            trap.loopStep(118, [&] { ws.listView3.add(a, true); });
    }
    trap.step(122, [&] { ws.mousePointer.setValue(MousePointer::Default); });
    trap.step(124, [&] {
        ws.progressBar1.setValue(0);
        ws.progressBar1.setText(ProgressBar::restText());
    });
}

} // namespace pq
