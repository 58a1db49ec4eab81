#include "export/WritingProgress.h"

#include "export/ResultFile.h"
#include "platform/ProgressBar.h"
#include "platform/Runtime.h"
#include "platform/Trap.h"

#include <algorithm>
#include <cmath>

namespace pq {

QString pathNamePart(const QString& path)
{
    const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(slash + 1);
}

int writingPercent(qint64 row, qint64 rows)
{
    const double percent =
        static_cast<double>(row + rows / 2000) / static_cast<double>(rows) * 100.0;
    return static_cast<int>(std::nearbyint(percent));
}

WritingProgress::WritingProgress(Runtime& runtime, ProgressBar* bar, const QString& path)
    : m_runtime(runtime), m_bar(bar), m_text(u"Writing file: " + pathNamePart(path))
{
}

void WritingProgress::stage(int percent)
{
    if (!m_bar)
        return;
    m_runtime.yield();
    m_bar->setValue(percent);
    m_bar->setText(m_text);
    m_runtime.yield();
}

void WritingProgress::row(qint64 j, qint64 rows)
{
    if (!m_bar)
        return;
    m_runtime.yield();
    m_bar->setValue(writingPercent(j, rows));
    if (j % 1000 == 0)
        m_bar->setText(m_text + u" (" + QString::number(j) + u')');
    m_runtime.yield();
}

void WritingProgress::done()
{
    if (!m_bar)
        return;
    m_bar->setValue(100);
    m_bar->setText(QStringLiteral("Done."));
}

void WritingProgress::rest()
{
    if (!m_bar)
        return;
    m_bar->setValue(0);
    m_bar->setText(ProgressBar::restText());
}

bool finishResultFile(Trap& trap, ResultFile& file, WritingProgress& progress, Runtime& runtime,
                      int closeLabel)
{
    trap.step(closeLabel, [&] { file.flush(runtime.pump()); });
    if (!trap.halted())
        progress.done();
    const bool inPlace = trap.step(closeLabel, [&] { file.commit(runtime.pump()); });
    if (!inPlace)
        file.discard();
    progress.rest();
    return inPlace;
}

} // namespace pq
