#include "ui/mainwindow.h"

#include <QApplication>

int main(int argc, char **argv)
{
    // The images live in the static library; register them explicitly.
    Q_INIT_RESOURCE(systray);
    QApplication app(argc, argv);
    int result = 0;
    {
        MainWindow window;
        result = app.exec();
    }
    return result;
}
