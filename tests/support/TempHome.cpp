#include "support/TempHome.h"

#include "store/Gbk.h"

#include <QFile>

TempHome::TempHome()
{
    m_hadPrevious = qEnvironmentVariableIsSet("VELMORA_HOME");
    m_previous = qgetenv("VELMORA_HOME");
    qputenv("VELMORA_HOME", m_dir.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (m_dir.path() + QStringLiteral("/.config")).toLocal8Bit());
    home().ensureExists();
}

TempHome::~TempHome()
{
    if (m_hadPrevious)
        qputenv("VELMORA_HOME", m_previous);
    else
        qunsetenv("VELMORA_HOME");
}

void TempHome::writeIni(const QString& text) const
{
    QFile file(iniPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(Gbk::encode(text));
}
