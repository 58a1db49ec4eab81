#include "app/Form1.h"
#include "app/QtEventPump.h"
#include "app/QtHost.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    pq::QtHost host;
    pq::QtEventPump pump;
    pq::Form1 form(host, pump, QCoreApplication::applicationDirPath());
    pq::startProgram(form, host);
    return app.exec();
}
