#include "ui/app/tollkeeperapp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    CTollkeeperApp tollkeeper;
    if (!tollkeeper.initInstance(QApplication::arguments()))
        return tollkeeper.exitCode();
    return app.exec();
}
