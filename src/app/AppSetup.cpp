#include "app/AppSetup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

void setUpApplication(QCoreApplication& app)
{
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const QString& name : {QStringLiteral("qtbase_zh_CN"), QStringLiteral("qt_zh_CN")}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(name, dir))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}
