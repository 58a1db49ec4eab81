#pragma once

#include <QImage>
#include <QPoint>
#include <QString>

namespace pq {

// A pointer picture and the point of it that touches the screen position.
struct Picture
{
    QImage image;
    QPoint hotSpot;
    bool isEmpty() const { return image.isNull(); }
};

// Loads a picture file (LoadPicture). Throws AppError when the file is no readable picture.
Picture LoadPicture(const QString& path);

} // namespace pq
