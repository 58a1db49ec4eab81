#include "match/MatchFinder.h"

#include "match/TextIndex.h"
#include "platform/EventPump.h"
#include "platform/Runtime.h"
#include "platform/Trap.h"
#include "platform/Workspace.h"

#include <cmath>

namespace pq {

namespace {

// An index of List 2 that follows its changes: rebuilt whenever List 2 changed since the
// last build, so a run always looks at the pane's current content.
class List2Index
{
public:
    List2Index(const ListPane& list2, Runtime& runtime) : m_list2(list2), m_runtime(runtime) {}

    // Brings the index up to date; yields while it builds.
    void refresh()
    {
        while (!m_built || m_revision != m_list2.revision()) {
            m_revision = m_list2.revision();
            m_built = m_index.build(m_list2.texts(), [&] {
                m_runtime.yield();
                return m_revision == m_list2.revision();
            });
        }
    }

    // Whether `text` occurs among the first `bound` items of List 2; needs a fresh index.
    bool contains(QStringView text, int bound) const
    {
        const int first = m_index.firstPosition(text);
        return first != 0 && first <= bound;
    }

private:
    const ListPane& m_list2;
    Runtime& m_runtime;
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

QString FileNamePart(QStringView text)
{
    return text.mid(text.lastIndexOf(u'\\') + 1).toString();
}

void PushButton11_Click(Workspace& ws)
{
    Runtime& runtime = ws.runtime;
    Trap trap(runtime.errors(), QStringLiteral("Form1.PushButton11_Click"));
    const ListPane& list1 = ws.listView1;
    const ListPane& list2 = ws.listView2;
    ProgressBar& bar = ws.progressBar1;
    List2Index index(list2, runtime);

    trap.step(100, [&] { runtime.yield(); });
    const int count1 = list1.count(); // [102]
    // List 1 may shrink while the run yields: the run then ends where the list ends.
    const auto stillInList1 = [&](int i) { return i <= list1.count(); };
    for (int i = 1; i <= count1 && !trap.halted(); ++i) {
        trap.loopStep(104, [&] { runtime.yield(); });
        if (!stillInList1(i))
            break;
        trap.loopStep(106, [&] { bar.setValue(progressPercent(i, list1.count())); });
        const int count2 = list2.count(); // [108]
        if (count2 <= 0)
            continue;
        trap.loopStep(110, [&] { runtime.yield(); });
        if (!stillInList1(i))
            break;
        QString a; // a copy: the commands that run while the run yields may change List 1
        trap.loopStep(112, [&] {
            a = list1.text(i);
            // The caption only shows when the window repaints, so it is built only then.
            if (runtime.pump().dispatchDue())
                bar.setText(u"Processing: " + FileNamePart(a));
            runtime.yield();
        });
        if (!stillInList1(i))
            break;
        bool found = false;
        trap.loopStep(116, [&] {
            index.refresh();
            found = index.contains(a, std::min(count2, list2.count()));
        });
        if (found)
            trap.loopStep(118, [&] { ws.listView3.add(a, true); });
    }
    ws.mousePointer.setValue(MousePointer::Default); // [122]
    bar.setValue(0);                                 // [124]
    bar.setText(ProgressBar::restText());
}

} // namespace pq
