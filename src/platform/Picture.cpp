#include "platform/Picture.h"

#include "platform/AppError.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QImageReader>
#include <QtEndian>

namespace pq {

namespace {

// A cursor file starts with a 6-byte directory header (reserved 0, type 2, image count)
// followed by one 16-byte entry per image; in a cursor's entry the fields at bytes 10..13,
// which hold planes and bit count in an icon, are the hot spot's x and y.
constexpr qsizetype kCursorHeaderBytes = 14;
constexpr quint16 kCursorType = 2;

quint16 word(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

QPoint cursorHotSpot(const QByteArray& head, QSize imageSize)
{
    if (head.size() < kCursorHeaderBytes || word(head, 0) != 0 || word(head, 2) != kCursorType)
        return {};
    // A hot spot outside the picture would make no sense as a pointer position.
    const int x = qMin<int>(word(head, 10), imageSize.width() - 1);
    const int y = qMin<int>(word(head, 12), imageSize.height() - 1);
    return QPoint(x, y);
}

} // namespace

Picture LoadPicture(const QString& path)
{
    // Only a regular file: a pipe of that name would keep start-up waiting for ever.
    QFile file;
    try {
        openRegularFile(file, path);
    } catch (const AppError& e) {
        throw AppError(u"Cannot open the picture: " + e.description());
    }
    const QByteArray head = file.peek(kCursorHeaderBytes);

    QImageReader reader(&file);
    Picture picture;
    picture.image = reader.read();
    if (picture.image.isNull())
        throw AppError(QStringLiteral("Invalid picture"));
    picture.hotSpot = cursorHotSpot(head, picture.image.size());
    return picture;
}

} // namespace pq
