// The yardstick of the start-up figure: a bare Qt window of the main window's size, timed
// by the same first-paint probe as the program (run by bench_app, not by hand).
#include "app/StartupProbe.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(1028, 670);
    installStartupProbe(&window);
    window.show();
    return app.exec();
}
