// The yardstick of the start-up figure: a bare Qt window of the main window's size, timed
// by the same first-paint probe as the program (run by bench_app, not by hand). With
// "--chinese" it shows one Chinese label and one line edit: what the first Chinese text and the
// first text field cost by themselves (font matching with fallbacks, text shaping).
#include "app/StartupProbe.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QVBoxLayout>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(1028, 670);
    if (app.arguments().contains(QStringLiteral("--chinese"))) {
        auto* central = new QWidget(&window);
        auto* layout = new QVBoxLayout(central);
        layout->addWidget(new QLabel(QStringLiteral("3天内共需还：2张"), central));
        layout->addWidget(new QLineEdit(QStringLiteral("招商银行"), central));
        window.setCentralWidget(central);
    }
    installStartupProbe(&window);
    window.show();
    return app.exec();
}
