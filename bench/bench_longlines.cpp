// Loads list files that are one long line each (2, 20 and 200 MB by default; other sizes
// in MB as arguments) into List 1 of the real (offscreen) window, and clicks the item:
// the time of the load and of the click, the longest gap between event dispatches, and
// the memory the load took at its peak, against `cat` of the same file in the same run.
#include "BenchSupport.h"

#include "app/Form1.h"
#include "app/ListPaneView.h"
#include "app/QtEventPump.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace pq;
using namespace pq::bench;

namespace {

constexpr double kGapTargetMs = 100;
constexpr double kMemoryTarget = 4.0;

bool writeOneLine(const QString& path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    LineGenerator random(20261209);
    QByteArray chunk;
    for (qint64 written = 0; written < bytes; written += chunk.size()) {
        chunk = random.line(1 << 19, 1 << 19).toLatin1();
        chunk.truncate(qsizetype(std::min<qint64>(chunk.size(), bytes - written)));
        if (file.write(chunk) != chunk.size())
            return false;
    }
    return file.write("\r\n") == 2 && file.flush();
}

// The heap in use at its highest while `work` runs, sampled at every event dispatch.
template <typename Work> double peakHeapDuring(Work&& work)
{
    double peak = heapInUseMiB();
    QTimer sampler;
    sampler.setInterval(0);
    sampler.callOnTimeout(&sampler, [&] { peak = std::max(peak, heapInUseMiB()); });
    sampler.start();
    work();
    return std::max(peak, heapInUseMiB());
}

// A press and release of the left button on the middle of the pane's first row, as the
// windowing system delivers them; the time until the window has handled and repainted it.
double clickFirstRow(ListPaneView* view)
{
    QWidget* viewport = view->viewport();
    const QPoint at = view->visualRect(view->model()->index(0, 0)).center();
    return timeSeconds([&] {
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(viewport, &event);
        }
        viewport->repaint();
    });
}

} // namespace

int main(int argc, char* argv[])
{
    QList<int> sizesMB;
    for (int i = 1; i < argc; ++i) {
        if (const int mb = QByteArray(argv[i]).toInt(); mb > 0)
            sizesMB.append(mb);
    }
    if (sizesMB.isEmpty())
        sizesMB = {2, 20, 200};
    BenchApp app(argc, argv);
    QTemporaryDir dir;
    BenchWindow window;
    BenchHost& host = window.host;
    QtEventPump& pump = window.pump;
    Form1& form = window.form;
    Workspace& ws = form.workspace();
    QPushButton* load = form.button(QStringLiteral("PushButton3"));
    bool allMet = true;
    bool allLoaded = true;
    std::printf("targets: longest gap under %.0f ms, memory at most %.0f x the file\n",
                kGapTargetMs, kMemoryTarget);
    for (const int mb : sizesMB) {
        const QString path = dir.filePath(QStringLiteral("line-%1.txt").arg(mb));
        const qint64 bytes = qint64(mb) * 1000 * 1000;
        if (!writeOneLine(path, bytes)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        const double cat = runTool(QStringLiteral("cat '%1' >/dev/null").arg(path)).seconds;
        ws.listView1.clear();
        QCoreApplication::processEvents();
        host.chosenFile = path;
        const double before = heapInUseMiB();
        double seconds = 0;
        qint64 gap = 0;
        pump.resetLongestGap();
        const double peak = peakHeapDuring([&] {
            seconds = timeSeconds([&] {
                load->click();
                gap = dispatchUntilRowsShown(ws, pump);
            });
        });
        const double memory = (peak - before) / (double(bytes) / (1024.0 * 1024.0));
        const bool loaded = ws.listView1.count() == 1 && ws.listView1.view(1).size() == bytes;
        const double click = loaded ? clickFirstRow(form.pane(1)) : 0;
        const bool met = gap < kGapTargetMs && memory <= kMemoryTarget;
        allMet &= met;
        allLoaded &= loaded;
        std::printf("%4d MB: load %.3f s (cat %.3f s)  longest gap %lld ms  click %.3f s  "
                    "peak memory %.0f MiB = %.2f x the file  loaded whole: %s  %s\n",
                    mb, seconds, cat, static_cast<long long>(gap), click, peak - before, memory,
                    loaded ? "yes" : "NO", met ? "met" : "NOT MET");
        QFile::remove(path);
    }
    std::printf("all: %s\n", allMet ? "met" : "NOT MET");
    return allLoaded && host.errorReports == 0 ? 0 : 1;
}
