#include "ui/Skin.h"

#include "app/Workspace.h"
#include "platform/AppError.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>

namespace pq {

void ApplySkin(Workspace& ws)
{
    const QString path = pathInFolder(ws.programFolder, QStringLiteral("x/o.cjs"));
    const QFileInfo info(path);
    if (!info.isFile() || info.isHidden())
        return;
    ws.window.setBackgroundColour(QGuiApplication::palette().color(QPalette::Button));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot read the skin file: ") + file.errorString());
    ws.window.applyStyleSheet(QString::fromUtf8(file.readAll()));
}

} // namespace pq
