#include "app/AppAssembly.h"
#include "app/DemoData.h"
#include "app/MainWindow.h"
#include "app/ProcessGuard.h"
#include "app/QuitOnSignal.h"
#include "app/SingleInstance.h"
#include "app/StartupProbe.h"
#include "app/TrayController.h"
#include "cli/AppSetup.h"
#include "cli/CommandLine.h"
#include "cli/HeadlessCommand.h"
#include "store/Error.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"
#include "views/EditMenuTexts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

bool g_terminated = false; // SIGINT or SIGTERM arrived

int runGui(QApplication& app, const HomeFolder& home, bool startHidden)
{
    try {
        home.ensureExists();
    } catch (const Error& e) {
        MessageBox::error(nullptr, e.message());
        return 1;
    }

    // One program per home folder: a second start brings the running window forward and ends.
    SingleInstance instance(home.path());
    if (!instance.claim()) {
        if (!instance.notified())
            MessageBox::information(nullptr, QStringLiteral("Velmora已经在运行中。"));
        return 0;
    }
    // The window lives hidden in the notification area; closing a dialog must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(TrayController::programIcon());
    markStartupStep("home folder, single instance, icon");

    AppContext context(home);
    markStartupStep("settings file");
    context.executablePath = QCoreApplication::applicationFilePath();
    // A home chosen by VELMORA_HOME is not found again at log-in without it.
    if (qEnvironmentVariableIsSet("VELMORA_HOME"))
        context.autostartHome = QDir(home.path()).absolutePath();

    AppAssembly assembly(context);
    MainWindow& mainWindow = assembly.window();
    QObject::connect(&instance, &SingleInstance::activationRequested, &mainWindow,
                     [&mainWindow] { mainWindow.requestRestore(MainWindow::Restore::Activation); });

    installStartupProbe(&mainWindow);
    if (startHidden || context.settings.startHidden())
        mainWindow.startInTray();
    else
        mainWindow.show();
    if (g_terminated) // during the login at start-up
        return 0;
    return app.exec();
}

} // namespace

int main(int argc, char* argv[])
{
    closeProcessToInspection();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = CommandLine::parse(arguments);

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (HeadlessCommand::handles(command.mode))
        return HeadlessCommand::run(command, argc, argv);
    switch (command.mode) {
    case CommandLine::Mode::Error:
        err << "velmora: " << command.errorText << "\n请运行“velmora --help”查看可用的选项。\n";
        return 2;
    case CommandLine::Mode::Help:
        out << command.helpText;
        return 0;
    case CommandLine::Mode::Version:
        out << "velmora " << VELMORA_VERSION << "\n";
        return 0;
    default:
        break;
    }

    QApplication app(argc, argv);
    markStartupStep("QApplication");
    // Our own texts for the edit menus first: Qt's catalogues, installed after, win where they exist.
    app.installTranslator(new EditMenuTranslator(&app));
    setUpApplication(app);
    QApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    // Windows and notices are filed under velmora.desktop.
    QGuiApplication::setDesktopFileName(QStringLiteral("velmora"));
    markStartupStep("translators and application set-up");
    // Stopped from a terminal or by the session: end as "退出软件" does, so that everything is
    // cleaned up (the demo's throw-away home is removed as runGui returns).
    quitOnTerminationSignals(&app, [] {
        g_terminated = true;
        QCoreApplication::exit(0); // also ends a dialog's own loop, the login's included
    });
    if (command.demo) {
        // A throw-away home with sample cards; the user's own home is never touched.
        QTemporaryDir demoDir;
        const HomeFolder demoHome(demoDir.path());
        try {
            DemoData::prepareHome(demoHome, Clock::system().today());
        } catch (const Error& e) {
            err << "velmora: " << e.message() << "\n";
            return 1;
        }
        qputenv("VELMORA_HOME", demoDir.path().toLocal8Bit());
        return runGui(app, demoHome, command.minimized);
    }
    const HomeFolder home = HomeFolder::locate(QCoreApplication::applicationDirPath());
    return runGui(app, home, command.minimized);
}
