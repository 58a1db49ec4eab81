#include "app/gui/Form1.h"
#include "platform/HugePages.h"
#include "platform/gui/QtEventPump.h"
#include "platform/gui/QtHost.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    pq::restartWithHugePageHeap(argv);
    QApplication app(argc, argv);
    pq::QtHost host;
    pq::QtEventPump pump;
    pq::Form1 form(host, pump, QCoreApplication::applicationDirPath());
    host.setDialogParent(&form);
    form.show();
    form.centreOnScreen();
    return app.exec();
}
