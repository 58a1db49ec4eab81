#include "TestWindow.h"

#include <QPushButton>
#include <QtTest>

namespace pq::test {

Window::Window(const QString& programFolder, bool shown) : form(host, pump, programFolder)
{
    form.load();
    if (shown)
        form.show();
}

QPushButton* Window::button(const QString& name) const
{
    QPushButton* found = form.button(name);
    if (!found)
        qFatal("no button %s", qPrintable(name));
    return found;
}

void Window::click(const QString& name)
{
    QTest::mouseClick(button(name), Qt::LeftButton);
}

} // namespace pq::test
