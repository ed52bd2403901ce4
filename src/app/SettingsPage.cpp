#include "app/SettingsPage.h"

#include "app/ClearCopies.h"
#include "app/LoginGate.h"
#include "remind/MailMessage.h"
#include "store/CardLock.h"
#include "store/DataModule.h"
#include "store/Error.h"
#include "ui/AppContext.h"
#include "ui/Contrast.h"
#include "ui/MessageBox.h"
#include "ui/PasswordField.h"
#include "ui/ShowErrors.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const QString kSaved = QStringLiteral("参数设置成功，重启软件后生效!");

QGroupBox* group(const char* name, const QString& title, QSize size, QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QLatin1String(name));
    box->setMinimumSize(size);
    return box;
}

QPushButton* button(const char* name, const QString& text, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QLineEdit* edit(const char* name, QWidget* parent, bool masked = false)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    if (masked)
        makePasswordField(e);
    return e;
}

QCheckBox* check(const char* name, const QString& text, QWidget* parent)
{
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(QLatin1String(name));
    return c;
}

QSpinBox* spin(const char* name, QWidget* parent)
{
    auto* s = new QSpinBox(parent);
    s->setObjectName(QLatin1String(name));
    s->setRange(0, 1440);
    return s;
}

QLabel* buddyLabel(const QString& text, QWidget* field, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(field);
    return label;
}

QLabel* lines(const QStringList& texts, QWidget* parent)
{
    auto* label = new QLabel(texts.join(u'\n'), parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}
} // namespace

SettingsPage::SettingsPage(AppContext& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("settingsPage"));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("settingsPanel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);

    // 密码设置
    auto* passwordBox = group("passwordGroup", QStringLiteral("密码设置"), {257, 161}, panel);
    m_password = edit("newPasswordEdit", passwordBox, true);
    m_passwordAgain = edit("newPasswordAgainEdit", passwordBox, true);
    auto* savePasswordButton = button("savePasswordButton", QStringLiteral("确定"), passwordBox);
    auto* passwordLayout = new QGridLayout(passwordBox);
    passwordLayout->addWidget(buddyLabel(QStringLiteral("密码"), m_password, passwordBox), 0, 0);
    passwordLayout->addWidget(m_password, 0, 1);
    passwordLayout->addWidget(buddyLabel(QStringLiteral("重复密码"), m_passwordAgain, passwordBox), 1, 0);
    passwordLayout->addWidget(m_passwordAgain, 1, 1);
    // Screen readers hear what each field and each "确定" is for, not the group's title.
    m_password->setAccessibleName(QStringLiteral("新密码"));
    m_passwordAgain->setAccessibleName(QStringLiteral("重复新密码"));
    savePasswordButton->setAccessibleName(QStringLiteral("确定（保存密码设置）"));
    passwordLayout->addWidget(savePasswordButton, 2, 1, Qt::AlignRight);
    // While a password is set: what forgetting it costs, and the way out.
    m_passwordWarning = new QLabel(
        QStringLiteral(
            "开启密码保护时，卡号、校验码和有效期用密码加密：忘记密码将无法恢复它们（其余资料仍可使用）。"),
        passwordBox);
    m_passwordWarning->setObjectName(QStringLiteral("PasswordWarning"));
    m_passwordWarning->setWordWrap(true);
    QFont small = m_passwordWarning->font();
    small.setPixelSize(11);
    m_passwordWarning->setFont(small);
    Contrast::setTextHue(m_passwordWarning, QColor(0x80, 0x80, 0x80)); // gray, as readable as text
    m_resetButton = button("ResetPasswordButton", QStringLiteral("重置密码"), passwordBox);
    passwordLayout->addWidget(m_passwordWarning, 3, 0, 1, 2);
    passwordLayout->addWidget(m_resetButton, 2, 0, Qt::AlignLeft);

    // 其它设置
    auto* generalBox = group("generalGroup", QStringLiteral("其它设置"), {337, 161}, panel);
    m_autostart = check("autostartBox", QStringLiteral("随系统启动"), generalBox);
    m_startHidden = check("startHiddenBox", QStringLiteral("启动时隐藏到托盘"), generalBox);
    m_protect = check("passwordProtectBox", QStringLiteral("开启密码保护"), generalBox);
    m_autoMinutes = spin("autoMinimizeMinutesBox", generalBox);
    auto* saveGeneralButton = button("saveGeneralButton", QStringLiteral("确定"), generalBox);
    auto* minutesRow = new QHBoxLayout;
    minutesRow->addWidget(m_autoMinutes);
    minutesRow->addWidget(
        buddyLabel(QStringLiteral("分钟自动最小化（0表示关闭此功能）"), m_autoMinutes, generalBox));
    m_autoMinutes->setAccessibleName(QStringLiteral("自动最小化的分钟数（0表示关闭此功能）"));
    saveGeneralButton->setAccessibleName(QStringLiteral("确定（保存其它设置）"));
    minutesRow->addStretch();
    auto* generalLayout = new QVBoxLayout(generalBox);
    auto* startRow = new QHBoxLayout;
    startRow->addWidget(m_autostart);
    startRow->addWidget(m_startHidden);
    startRow->addStretch();
    generalLayout->addLayout(startRow);
    generalLayout->addWidget(m_protect);
    generalLayout->addLayout(minutesRow);
    generalLayout->addWidget(saveGeneralButton, 0, Qt::AlignRight);

    // 提醒设置
    auto* reminderBox = group("mailReminderGroup", QStringLiteral("提醒设置"), {337, 161}, panel);
    m_mailOn = check("mailReminderBox", QStringLiteral("启用"), reminderBox);
    m_mailTo = edit("mailToEdit", reminderBox);
    auto* saveReminderButton = button("saveMailReminderButton", QStringLiteral("确定"), reminderBox);
    auto* mailServerButton = button("MailServerButton", QStringLiteral("邮件服务器…"), reminderBox);
    auto* calendarSyncButton = button("CalendarSyncButton", QStringLiteral("日历同步…"), reminderBox);
    saveReminderButton->setAccessibleName(QStringLiteral("确定（保存提醒设置）"));
    calendarSyncButton->setAccessibleName(QStringLiteral("日历同步"));
    m_mailTo->setAccessibleName(QStringLiteral("收件人Email"));
    auto* mailRow = new QHBoxLayout;
    mailRow->addWidget(buddyLabel(QStringLiteral("收件人Email："), m_mailTo, reminderBox));
    mailRow->addWidget(m_mailTo);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(mailServerButton);
    buttonRow->addWidget(calendarSyncButton);
    buttonRow->addStretch();
    buttonRow->addWidget(saveReminderButton);
    auto* reminderLayout = new QVBoxLayout(reminderBox);
    reminderLayout->addWidget(m_mailOn);
    reminderLayout->addLayout(mailRow);
    reminderLayout->addLayout(buttonRow);

    // Information groups: static text.
    auto* contactBox = group("contactGroup", QStringLiteral("联系方式"), {257, 153}, panel);
    auto* contactLayout = new QVBoxLayout(contactBox);
    contactLayout->addWidget(
        lines({QStringLiteral("Velmora 信用卡管家 V2.0"), QStringLiteral("开发：Velmora 项目组"),
               QStringLiteral("问题与建议：请在项目的问题跟踪中提出"),
               QStringLiteral("数据只保存在本机，不会上传")},
              contactBox));
    auto* adBox = group("adGroup", QStringLiteral("广告位招租"), {337, 153}, panel);
    auto* adLayout = new QVBoxLayout(adBox);
    adLayout->addWidget(lines({QStringLiteral("广告位招租")}, adBox));

    // The way into the cash-flow planner, whose pages have no tab of their own.
    auto* plannerBox = group("PlannerGroup", QStringLiteral("工具"), {337, 153}, panel);
    auto* plannerLayout = new QVBoxLayout(plannerBox);
    auto* plannerButton = button("PlannerButton", QStringLiteral("现金流规划…"), plannerBox);
    plannerButton->setToolTip(QStringLiteral("用信用卡取现还贷款的现金流模拟，以及还款日计算"));
    plannerLayout->addWidget(plannerButton, 0, Qt::AlignLeft);
    plannerLayout->addStretch(1);

    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(24, 24, 24, 24);
    grid->setHorizontalSpacing(20);
    grid->setVerticalSpacing(16);
    grid->addWidget(passwordBox, 0, 0);
    grid->addWidget(generalBox, 0, 1);
    grid->addWidget(reminderBox, 0, 2);
    grid->addWidget(contactBox, 1, 0);
    grid->addWidget(adBox, 1, 1);
    grid->addWidget(plannerBox, 1, 2);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);

    connect(savePasswordButton, &QPushButton::clicked, this, &SettingsPage::savePassword);
    connect(m_resetButton, &QPushButton::clicked, this, &SettingsPage::resetPassword);
    showPasswordNotes();
    connect(saveGeneralButton, &QPushButton::clicked, this, &SettingsPage::saveGeneral);
    connect(saveReminderButton, &QPushButton::clicked, this, &SettingsPage::saveReminder);
    connect(mailServerButton, &QPushButton::clicked, this, &SettingsPage::mailServerRequested);
    connect(calendarSyncButton, &QPushButton::clicked, this, &SettingsPage::calendarSyncRequested);
    connect(plannerButton, &QPushButton::clicked, this, &SettingsPage::plannerRequested);
}

void SettingsPage::hideEvent(QHideEvent* event)
{
    // Typed passwords do not wait on a page nobody looks at (another tab, the window hidden or
    // locked away).
    clearPasswordFields();
    QWidget::hideEvent(event);
}

void SettingsPage::clearPasswordFields()
{
    m_password->clear();
    m_passwordAgain->clear();
}

void SettingsPage::showProtectionInForce()
{
    m_protect->setChecked(m_context.settings.passwordProtect());
}

void SettingsPage::showValues(bool autostart, bool passwordProtect, int autoMinMinutes, bool mailOn,
                              const QString& mailTo)
{
    m_autostart->setChecked(autostart);
    m_startHidden->setChecked(m_context.settings.startHidden());
    m_protect->setChecked(passwordProtect);
    m_autoMinutes->setValue(autoMinMinutes); // bounded to 0..1440 by the field
    m_mailOn->setChecked(mailOn);
    m_mailTo->setText(mailTo);
    showPasswordNotes();
}

void SettingsPage::setCardLock(CardLock* lock)
{
    m_lock = lock;
}

void SettingsPage::showPasswordNotes()
{
    const bool set = !m_context.settings.password().isEmpty();
    m_passwordWarning->setVisible(set);
    m_resetButton->setVisible(set);
}

// Asked while the card tab is locked, and whenever the card secrets need the password itself
// (`keyNeeded`: to open their key, or to seal them).
bool SettingsPage::confirmCurrentPassword(bool keyNeeded)
{
    m_current.clear();
    const bool locked = m_locked && m_locked() && !m_context.settings.password().isEmpty();
    if (!locked && !keyNeeded)
        return true;
    const std::optional<QString> typed = MessageBox::askPassword(this, QStringLiteral("请输入当前密码："));
    if (!typed)
        return false; // cancelled: nothing is written
    const QString current = trimEntry(*typed);
    const QString problem =
        m_lock ? m_lock->confirm(current)
               : (LoginGate(m_context.settings).accepts(current) ? QString() : QStringLiteral("密码错误"));
    if (problem.isEmpty()) {
        m_current = current;
        return true;
    }
    MessageBox::information(this, problem);
    return false;
}

// The key stays open only while the card tab is; the card lists show the new state.
void SettingsPage::afterSecretsChange()
{
    m_current.fill(QChar(0)); // a typed password does not outlive its use
    m_current.clear();
    if (m_context.data) {
        if (m_locked && m_locked())
            m_context.data->secrets().lock();
        ui::showErrors(this, [this] { m_context.data->reloadSecretFields(); });
    }
    showPasswordNotes();
}

bool SettingsPage::secretsSealed() const
{
    return m_context.data && m_context.data->database().isOpen() && m_context.data->secrets().keyStored();
}

void SettingsPage::savePassword()
{
    // Whatever the outcome, the typed passwords go.
    const auto cleared = qScopeGuard([this] { clearPasswordFields(); });
    try {
        const QString password = trimEntry(m_password->text());
        if (password != trimEntry(m_passwordAgain->text())) {
            MessageBox::information(this, QStringLiteral("对不起，2次输入密码不一致，请重新输入!"));
            return;
        }
        if (!confirmCurrentPassword(m_lock && m_lock->passwordNeeded()))
            return;
        const bool sealedBefore = secretsSealed();
        if (m_lock)
            m_lock->changePassword(password);
        else
            m_context.settings.savePassword(password);
        afterSecretsChange();
        MessageBox::information(this, QStringLiteral("密码设置成功，重启软件后生效!"));
        if (!sealedBefore && secretsSealed())
            offerToRemoveClearCopies(this, m_context.data->database().path());
    } catch (const Error& e) {
        afterSecretsChange();
        MessageBox::error(this, e.message());
    }
}

void SettingsPage::saveGeneral()
{
    try {
        const bool protect = m_protect->isChecked();
        const bool keyNeeded = m_lock && m_lock->passwordNeededForProtection(protect);
        if ((!protect || keyNeeded) && !confirmCurrentPassword(keyNeeded)) {
            showProtectionInForce(); // refused: the box goes back to what still holds
            return;
        }
        if (m_autoMinutes->value() < 0)
            m_autoMinutes->setValue(0);
        const bool sealedBefore = secretsSealed();
        if (m_lock)
            m_lock->saveGeneral(m_autostart->isChecked(), protect, m_autoMinutes->value(), m_current);
        else
            m_context.settings.saveGeneral(m_autostart->isChecked(), protect, m_autoMinutes->value());
        // Written once chosen: files of those who never tick it stay as they were.
        if (m_startHidden->isChecked() != m_context.settings.startHidden())
            m_context.settings.saveStartHidden(m_startHidden->isChecked());
        afterSecretsChange();
        MessageBox::information(this, kSaved);
        if (!sealedBefore && secretsSealed())
            offerToRemoveClearCopies(this, m_context.data->database().path());
    } catch (const Error& e) {
        afterSecretsChange();
        showProtectionInForce();
        MessageBox::error(this, e.message());
    }
}

void SettingsPage::resetPassword()
{
    if (!MessageBox::question(
            this,
            QStringLiteral("重置密码将清空登录密码，并清除所有已加密的卡号、校验码和有效期，"
                           "清除后无法恢复；卡名、日期、额度等其余资料保留。\n确定要重置密码吗？"),
            QStringLiteral("重置密码")))
        return;
    try {
        const int cleared = m_lock ? m_lock->reset() : 0;
        if (!m_lock)
            m_context.settings.savePassword(QString());
        afterSecretsChange();
        MessageBox::information(
            this, QStringLiteral(
                      "密码已重置，已清除%1项加密的卡片资料。请重新设置密码，并补填卡号、校验码和有效期。")
                      .arg(cleared));
    } catch (const Error& e) {
        afterSecretsChange();
        MessageBox::error(this, e.message());
    }
}

void SettingsPage::saveReminder()
{
    ui::showErrors(this, [this] {
        const QString mailTo = trimEntry(m_mailTo->text());
        if (!mailTo.isEmpty()) {
            // Found out now rather than by a reminder that silently goes nowhere.
            try {
                (void)Mail::parseAddressList(mailTo);
            } catch (const Error& e) {
                throw Error(QStringLiteral("收件人Email无法使用：") + e.message());
            }
        }
        // dd has no control of its own: the stored figure stays as it is.
        m_context.settings.saveReminder(mailTo, m_context.settings.daysAhead(), m_mailOn->isChecked());
        MessageBox::information(this, kSaved);
    });
}
