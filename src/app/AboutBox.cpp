#include "app/AboutBox.h"

#include "app/TrayController.h"
#include "store/HomeFolder.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
QDialog* newWindow(QWidget* parent, const char* name, const QString& title)
{
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QLatin1String(name));
    dialog->setAccessibleName(title);
    dialog->setWindowTitle(title);
    dialog->setWindowIcon(TrayController::programIcon());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    return dialog;
}

void finish(QDialog* dialog, QVBoxLayout* layout)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    buttons->setObjectName(QStringLiteral("closeButtons"));
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
} // namespace

namespace AboutBox {

QWidget* showAbout(QWidget* parent, const HomeFolder& home)
{
    QDialog* dialog = newWindow(parent, "aboutBox", QStringLiteral("关于软件"));
    auto* layout = new QVBoxLayout(dialog);
    auto* text = new QLabel(dialog);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setAccessibleName(QStringLiteral("关于软件"));
    text->setTextFormat(Qt::PlainText);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text->setText(QStringLiteral("Velmora %1\n个人信用卡账单日、还款日管理与提醒。\n\n"
                                 "许可证：GNU 通用公共许可证第3版或更新版本（GPL-3.0-or-later）\n\n"
                                 "数据文件夹：%2\n数据库：%3")
                      .arg(QCoreApplication::applicationVersion(),
                           QDir::toNativeSeparators(QDir(home.path()).absolutePath()),
                           QDir::toNativeSeparators(QFileInfo(home.databasePath()).absoluteFilePath())));
    layout->addWidget(text);
    finish(dialog, layout);
    return dialog;
}

QWidget* showHelp(QWidget* parent)
{
    QDialog* dialog = newWindow(parent, "helpWindow", QStringLiteral("使用帮助"));
    dialog->resize(560, 480);
    auto* layout = new QVBoxLayout(dialog);
    auto* page = new QTextBrowser(dialog);
    page->setObjectName(QStringLiteral("helpPage"));
    page->setAccessibleName(QStringLiteral("使用帮助"));
    page->setOpenExternalLinks(false);
    page->setSource(QUrl(QStringLiteral("qrc:/help.html")));
    layout->addWidget(page);
    finish(dialog, layout);
    return dialog;
}

} // namespace AboutBox
