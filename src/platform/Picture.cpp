#include "platform/Picture.h"

#include "platform/AppError.h"

#include <QImageReader>

namespace pq {

Picture LoadPicture(const QString& path)
{
    QImageReader reader(path);
    Picture picture;
    picture.image = reader.read();
    if (picture.image.isNull())
        throw AppError(QStringLiteral("Invalid picture"));
    return picture;
}

} // namespace pq
