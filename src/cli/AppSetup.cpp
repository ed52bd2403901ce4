#include "cli/AppSetup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

void setUpApplication(QCoreApplication& app)
{
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    // qt_zh_CN only gathers qtbase_zh_CN and modules this program does not use: it is the
    // fallback where the first is missing, not a second load of the same catalogue.
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const QString& name : {QStringLiteral("qtbase_zh_CN"), QStringLiteral("qt_zh_CN")}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(name, dir)) {
            QCoreApplication::installTranslator(translator);
            return;
        }
        delete translator;
    }
}
