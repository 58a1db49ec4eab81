#pragma once

#include <QString>

namespace pq {

class FormWindow;

// Where the optional skin lies: "x/o.cjs" below the program folder.
QString skinPath(const QString& programFolder);

// Applies the optional skin, a Qt style sheet in UTF-8. When the skin is an ordinary
// file, the window background turns to the palette's button colour and then the sheet
// is applied; without it nothing changes. A skin that cannot be read or is not text
// throws AppError and leaves the window as it was.
void ApplySkin(FormWindow& window, const QString& programFolder);

} // namespace pq
