#include "ui/Skin.h"

#include "platform/AppError.h"
#include "platform/FileSystem.h"
#include "platform/Workspace.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QStringDecoder>

namespace pq {

namespace {

// The skin is a Qt style sheet in UTF-8. Anything that does not decode cleanly, or
// holds a NUL, is no style sheet: refuse it whole rather than apply part of it.
QString styleSheetFrom(const QByteArray& bytes)
{
    if (bytes.contains('\0'))
        throw AppError(QStringLiteral("The skin file is not a text file"));
    // Stateless, so that a character cut off at the end counts as an error too.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        throw AppError(QStringLiteral("The skin file is not valid UTF-8 text"));
    return text;
}

QString readSkin(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot read the skin file: ") + file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("Cannot read the skin file: ") + file.errorString());
    return styleSheetFrom(bytes);
}

} // namespace

QString skinPath(const QString& programFolder)
{
    return pathInFolder(programFolder, QStringLiteral("x/o.cjs"));
}

void ApplySkin(FormWindow& window, const QString& programFolder)
{
    const QString path = skinPath(programFolder);
    const QFileInfo info(path);
    if (!info.isFile() || info.isHidden())
        return;
    // The file is read and checked before the window changes at all, so a bad skin
    // leaves the plain look in place; the colour still changes before the sheet applies.
    const QString styleSheet = readSkin(path);
    window.setBackgroundColour(QGuiApplication::palette().color(QPalette::Button));
    window.applyStyleSheet(styleSheet);
}

} // namespace pq
