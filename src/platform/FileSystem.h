#pragma once

#include <QString>

namespace pq {

// True when the path's last-modification time can be read; never fails.
bool FileExists(const QString& path);

// Joins the program folder and a file name below it.
QString pathInFolder(const QString& folder, const QString& name);

} // namespace pq
