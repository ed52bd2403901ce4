#include "sync/CalendarSyncDialog.h"

#include "store/Error.h"
#include "store/SecretStore.h"
#include "store/Settings.h"
#include "sync/CalendarSync.h"
#include "ui/MessageBox.h"
#include "ui/ShowErrors.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace {
QLineEdit* edit(const char* name, const QString& accessibleName, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setAccessibleName(accessibleName);
    return e;
}

QPushButton* button(const char* name, const QString& text, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(text);
    return b;
}
} // namespace

CalendarSyncDialog::CalendarSyncDialog(Settings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("CalendarSyncDialog"));
    setWindowTitle(QStringLiteral("日历同步"));
    setMinimumWidth(540);

    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(QStringLiteral("各卡的还款日会同步到这个日历（CalDAV），每次刷新后自动更新；"
                                           "日历中的其他事件不受影响。请填写日历本身的地址。"),
                            this);
    hint->setWordWrap(true);
    layout->addWidget(hint);

    m_url = edit("CaldavUrlEdit", QStringLiteral("日历地址"), this);
    m_url->setPlaceholderText(QStringLiteral("https://example.com/dav/calendars/user/cards/"));
    m_user = edit("CaldavUserEdit", QStringLiteral("用户名"), this);
    m_password = edit("CaldavPasswordEdit", QStringLiteral("密码"), this);
    m_password->setEchoMode(QLineEdit::Password);
    m_passwordPlace = new QLabel(this);
    m_passwordPlace->setObjectName(QStringLiteral("CaldavPasswordPlaceLabel"));
    m_passwordPlace->setAccessibleName(QStringLiteral("密码保存位置"));
    m_passwordPlace->setWordWrap(true);
    m_caFile = edit("CaldavCaFileEdit", QStringLiteral("CA证书文件"), this);
    m_caFile->setPlaceholderText(QStringLiteral("留空则信任系统的证书"));
    auto* caButton = button("CaldavCaFileButton", QStringLiteral("选择…"), this);
    caButton->setAccessibleName(QStringLiteral("选择CA证书文件"));
    connect(caButton, &QPushButton::clicked, this, &CalendarSyncDialog::chooseCaFile);
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile, 1);
    caRow->addWidget(caButton);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("日历地址："), m_url);
    form->addRow(QStringLiteral("用户名："), m_user);
    form->addRow(QStringLiteral("密码："), m_password);
    form->addRow(QString(), m_passwordPlace);
    form->addRow(QStringLiteral("CA证书文件："), caRow);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    m_testButton = button("CaldavTestButton", QStringLiteral("测试"), this);
    buttons->addButton(m_testButton, QDialogButtonBox::ActionRole);
    QPushButton* save = buttons->addButton(QStringLiteral("保存"), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("CaldavSaveButton"));
    save->setAccessibleName(QStringLiteral("保存（日历同步）"));
    QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CaldavCancelButton"));
    cancel->setAccessibleName(QStringLiteral("取消"));
    layout->addWidget(buttons);
    connect(m_testButton, &QPushButton::clicked, this, &CalendarSyncDialog::test);
    connect(save, &QPushButton::clicked, this, &CalendarSyncDialog::save);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_test, &QFutureWatcher<QString>::finished, this, &CalendarSyncDialog::showTestResult);

    // A password left in System.ini (saved while no keyring ran) moves into the keyring as soon as
    // one runs.
    const AccountPassword::Shown password =
        AccountPassword::calendar().forDialog(m_settings.file(), SecretStore());
    const CalendarSyncSettings s = CalendarSyncSettings::load(m_settings);
    m_keyringUnread = password.keyringUnread;
    m_url->setText(s.url);
    m_user->setText(s.user);
    m_password->setText(password.found.password);
    m_caFile->setText(s.caFile);
    m_passwordPlace->setText(password.placeText);
}

CalendarSyncDialog::~CalendarSyncDialog()
{
    m_cancel = true;
    m_test.waitForFinished();
}

CalendarSyncSettings CalendarSyncDialog::values() const
{
    CalendarSyncSettings s;
    s.url = m_url->text().trimmed();
    s.user = m_user->text().trimmed();
    s.password = m_password->text();
    s.caFile = m_caFile->text().trimmed();
    return s;
}

void CalendarSyncDialog::chooseCaFile()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("选择CA证书文件"), m_caFile->text(),
                                     QStringLiteral("PEM证书 (*.pem *.crt *.cer);;所有文件 (*)"));
    if (!path.isEmpty())
        m_caFile->setText(path);
}

void CalendarSyncDialog::test()
{
    if (m_test.isRunning())
        return;
    m_testButton->setEnabled(false);
    m_testButton->setText(QStringLiteral("正在测试…"));
    m_test.setFuture(QtConcurrent::run([s = values(), cancel = &m_cancel]() -> QString {
        try {
            CalendarSync::check(s, cancel);
            return {};
        } catch (const Error& e) {
            return e.message();
        }
    }));
}

void CalendarSyncDialog::showTestResult()
{
    m_testButton->setEnabled(true);
    m_testButton->setText(QStringLiteral("测试"));
    const QString error = m_test.result();
    if (error.isEmpty())
        MessageBox::information(this, QStringLiteral("连接成功，可以同步到这个日历。"), windowTitle());
    else
        MessageBox::error(this, error, windowTitle());
    emit tested(error);
}

void CalendarSyncDialog::save()
{
    ui::showErrors(this, [this] {
        const CalendarSyncSettings s = values();
        if (s.configured())
            s.validate(); // an empty address turns the sync off
        // Long enough for the keyring to ask the user to unlock it; a password the keyring holds
        // but could not give is not taken for a cleared one.
        const SecretStore keyring(std::chrono::seconds(60));
        const AccountPassword::Place place =
            s.save(m_settings, s.password.isEmpty() && m_keyringUnread ? nullptr : &keyring);
        MessageBox::information(
            this, QStringLiteral("日历同步设置已保存。") + AccountPassword::savedNote(place), windowTitle());
        accept();
    });
}
