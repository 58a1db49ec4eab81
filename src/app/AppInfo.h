#pragma once

#include <QString>

namespace pq::AppInfo {

inline QString productTitle()
{
    return QStringLiteral("Pellicor Quastrin");
}
inline QString homePage()
{
    return QStringLiteral("https://pellicor-quastrin.example.org/");
}
inline QString supportEmail()
{
    return QStringLiteral("support@pellicor-quastrin.example.org");
}

} // namespace pq::AppInfo
