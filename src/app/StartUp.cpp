#include "app/StartUp.h"

#include "app/AppInfo.h"
#include "platform/FileSystem.h"
#include "platform/Runtime.h"
#include "platform/Trap.h"
#include "platform/Workspace.h"
#include "ui/Skin.h"

#include <QIcon>

#include <cmath>

namespace pq {

namespace {

constexpr int kPaneColumnTwips = 7000;
constexpr int kHomePageDraw = 7;

void openHomePageSometimes(Host& host)
{
    host.randomize(host.timer());
    const int draw = static_cast<int>(std::floor(host.rnd() * 100.0)) + 1;
    if (draw == kHomePageDraw)
        host.openInBrowser(AppInfo::homePage());
}

} // namespace

QString appTitleFrom(const QString& productTitle)
{
    QString title = productTitle;
    do {
        const qsizetype blank = title.lastIndexOf(u' ');
        if (blank < 0)
            throw AppError(QStringLiteral("Invalid procedure call or argument"));
        title.truncate(blank);
    } while (title.size() > 40);
    return title;
}

void SetAppTitle(Runtime& runtime, const QString& productTitle)
{
    runtime.setAppTitle(appTitleFrom(productTitle));
}

void Form_Load(Workspace& ws)
{
    Runtime& runtime = ws.runtime;
    Trap trap(runtime.errors(), QStringLiteral("Form1.Form_Load"));
    trap.step(102, [&] { ApplySkin(ws.window, ws.programFolder); });
    trap.step(104, [&] { ws.window.setCaption(AppInfo::productTitle()); });
    trap.step(104, [&] { ws.window.setIcon(QIcon(QStringLiteral(":/icons/app.png"))); });
    trap.step(104, [&] { SetAppTitle(runtime, AppInfo::productTitle()); });

    const QString pointerFile = pathInFolder(ws.programFolder, QStringLiteral("HAND-M.CUR"));
    if (FileExists(pointerFile)) // [106]
        trap.step(108, [&] { ws.mouseIcon = LoadPicture(pointerFile); });

    trap.step(110, [&] { openHomePageSometimes(runtime.host()); });

    struct PaneColumn
    {
        ListPane& pane;
        const char16_t* title;
        int addLabel;
    };
    const PaneColumn columns[] = {{ws.listView1, u"List 1", 128},
                                  {ws.listView2, u"List 2", 132},
                                  {ws.listView3, u"Results", 136}};
    for (const PaneColumn& c : columns) {
        trap.step(c.addLabel, [&] { c.pane.addColumn(QString::fromUtf16(c.title)); });
        trap.step(c.addLabel + 2, [&] { c.pane.setColumnWidth(1, kPaneColumnTwips); });
    }
}

} // namespace pq
