#pragma once

#include <QString>

namespace pq {

class Runtime;
struct Workspace;

// The start-up sequence, run once before the window is first shown.
void Form_Load(Workspace& ws);

// Cuts the product title at its last blank, at least once and until it is at most
// 40 characters long. Throws AppError when no blank is left to cut at.
QString appTitleFrom(const QString& productTitle);

// Sets the application title that message boxes without a title of their own show.
void SetAppTitle(Runtime& runtime, const QString& productTitle);

} // namespace pq
