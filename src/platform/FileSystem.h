#pragma once

#include <QString>

class QFile;

namespace pq {

// True when the path's last-modification time can be read; never fails.
bool FileExists(const QString& path);

// Joins the program folder and a file name below it.
QString pathInFolder(const QString& folder, const QString& name);

// Opens `file` for unbuffered reading, but only when the path names a regular file: a
// named pipe would wait for a writer for ever and a device would never end. The type is
// tested before opening, and the file opened without waiting anyway, so a file swapped
// meanwhile cannot block. Throws AppError in plain words ("Not a regular file (a named
// pipe)", or the system's reason).
void openRegularFile(QFile& file, const QString& path);

} // namespace pq
