#include "app/StartUp.h"

#include "app/AppInfo.h"
#include "app/ErrorReport.h"
#include "app/Workspace.h"
#include "platform/FileSystem.h"
#include "ui/Skin.h"

#include <QIcon>

#include <cmath>

namespace pq {

namespace {

constexpr int kPaneColumnTwips = 7000;
constexpr int kHomePageDraw = 7;

void openHomePageSometimes(Workspace& ws)
{
    ws.host.randomize(ws.host.timer());
    const int draw = static_cast<int>(std::floor(ws.host.rnd() * 100.0)) + 1;
    if (draw == kHomePageDraw)
        ws.host.openInBrowser(AppInfo::homePage());
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

void SetAppTitle(Workspace& ws, const QString& productTitle)
{
    ws.appTitle = appTitleFrom(productTitle);
}

void Form_Load(Workspace& ws)
{
    Trap trap(ws.host, QStringLiteral("Form1.Form_Load"));
    trap.step(102, [&] { ApplySkin(ws); });
    trap.step(104, [&] { ws.window.setCaption(AppInfo::productTitle()); });
    trap.step(104, [&] { ws.window.setIcon(QIcon(QStringLiteral(":/icons/app.png"))); });
    trap.step(104, [&] { SetAppTitle(ws, AppInfo::productTitle()); });

    const QString pointerFile = pathInFolder(ws.programFolder, QStringLiteral("HAND-M.CUR"));
    bool hasPointerFile = true;
    trap.step(106, [&] { hasPointerFile = FileExists(pointerFile); });
    if (hasPointerFile)
        trap.step(108, [&] { ws.mouseIcon = LoadPicture(pointerFile); });

    trap.step(110, [&] { openHomePageSometimes(ws); });

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
