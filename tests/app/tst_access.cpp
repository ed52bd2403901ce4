// The program without a mouse, through a screen reader's eyes and in a dark theme: every window
// built as the program builds it, offscreen.
#include "app/AppAssembly.h"
#include "app/DemoData.h"
#include "app/LoginDialog.h"
#include "app/MainWindow.h"
#include "app/SettingsPage.h"
#include "remind/ReminderWindow.h"
#include "store/DataModule.h"
#include "support/DarkPalette.h"
#include "support/Stored.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/Contrast.h"
#include "ui/MessageBox.h"
#include "views/CardEditor.h"
#include "views/CardGrid.h"
#include "views/CardGridModel.h"
#include "views/CardPage.h"
#include "views/HolderDialog.h"
#include "views/RecordNavigator.h"
#include "views/RepaymentMonthModel.h"
#include "views/RepaymentMonthPage.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace {

// What a screen reader says a control is. A drop-down list gives its value as its name (Qt on
// Linux) and what it is through the control that labels it.
QString accessibleName(QWidget* widget)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    if (!iface)
        return {};
    if (!qobject_cast<QComboBox*>(widget))
        return iface->text(QAccessible::Name);
    if (!widget->accessibleName().isEmpty())
        return widget->accessibleName();
    for (const auto& [label, relation] : iface->relations(QAccessible::Label))
        if (label && !label->text(QAccessible::Name).isEmpty())
            return label->text(QAccessible::Name);
    return {};
}

// The shown controls of `window` that take the keyboard focus, without the parts of composite
// controls (a spin box's or an editable drop-down's line), which speak through their owner.
QList<QWidget*> focusableControls(QWidget* window)
{
    QList<QWidget*> controls;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->window() != window || !w->isVisible() || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy())
            continue;
        QWidget* parent = w->parentWidget();
        if (qobject_cast<QComboBox*>(parent) || qobject_cast<QAbstractSpinBox*>(parent))
            continue;
        controls << w;
    }
    return controls;
}

// Controls without a name, and names that two controls share: what a screen reader cannot tell.
QStringList namingProblems(QWidget* window)
{
    QStringList problems;
    QHash<QString, QString> owners;
    for (QWidget* w : focusableControls(window)) {
        const QString what = QStringLiteral("%1 (%2)").arg(w->objectName(), w->metaObject()->className());
        const QString name = accessibleName(w).trimmed();
        if (name.isEmpty()) {
            problems << QStringLiteral("no name: ") + what;
            continue;
        }
        if (owners.contains(name))
            problems << QStringLiteral("\"%1\" both %2 and %3").arg(name, owners.value(name), what);
        owners.insert(name, what);
    }
    return problems;
}

// Text that a widget draws and the background it draws it on, as its palette gives them.
struct TextOnBackground
{
    QColor text;
    QColor background;
};

std::optional<TextOnBackground> textOf(QWidget* w)
{
    const QPalette p = w->palette();
    if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty())
        return TextOnBackground{p.color(QPalette::WindowText), p.color(QPalette::Window)};
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
        return TextOnBackground{p.color(QPalette::WindowText), p.color(QPalette::Window)};
    if (auto* tool = qobject_cast<QToolButton*>(w); tool && !tool->text().isEmpty())
        return TextOnBackground{p.color(QPalette::ButtonText),
                                p.color(tool->autoRaise() ? QPalette::Window : QPalette::Button)};
    if (auto* push = qobject_cast<QPushButton*>(w); push && !push->text().isEmpty())
        return TextOnBackground{p.color(QPalette::ButtonText), p.color(QPalette::Button)};
    if (qobject_cast<QLineEdit*>(w))
        return TextOnBackground{p.color(QPalette::Text), p.color(QPalette::Base)};
    return std::nullopt;
}

QStringList unreadableTexts(QWidget* window)
{
    QStringList problems;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->window() != window || !w->isVisible())
            continue;
        if (const auto pair = textOf(w)) {
            const double ratio = Contrast::ratio(pair->text, pair->background);
            if (ratio < Contrast::kMinimum)
                problems << QStringLiteral("%1: %2 on %3 is %4:1")
                                .arg(w->objectName(), pair->text.name(), pair->background.name())
                                .arg(ratio, 0, 'f', 2);
        }
    }
    return problems;
}

} // namespace

class TestAccess : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everyControlHasItsOwnName_data();
    void everyControlHasItsOwnName();
    void hiddenPagesAreNoTabs();
    void reminderIsADialogWithKeys();
    void tabLeavesTheGrid();
    void pagesSwitchWhereverTheFocusIs_data();
    void pagesSwitchWhereverTheFocusIs();
    void cardAddedSavedDeletedWithKeysOnly();
    void escapeDropsANewCard();
    void holderDialogEnterSavesEscapeCancels();
    void quitKeyAsksFirst();
    void plannerHasAWayIn();
    void textReadableInLightAndDark_data();
    void textReadableInLightAndDark();
    void contrastHelperKeepsTheHue_data();
    void contrastHelperKeepsTheHue();

private:
    void build();
    QWidget* focused() const { return QApplication::focusWidget(); }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = focused() ? focused() : &m_assembly->window();
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }
    void typeText(const QString& text)
    {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(focused(), &event);
    }
    int cardCount() const
    {
        return Stored::value(m_assembly->data().database(), QStringLiteral("SELECT count(*) FROM txyk"))
            .toInt();
    }

    QPalette m_lightPalette;
    TempHome* m_home = nullptr;
    FixedClock m_clock{QDate(2013, 9, 5)};
    AppContext* m_context = nullptr;
    DataModule* m_data = nullptr;
    AppAssembly* m_assembly = nullptr;
};

void TestAccess::initTestCase()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    m_lightPalette = QApplication::style()->standardPalette();
}

void TestAccess::init()
{
    QApplication::setPalette(m_lightPalette);
    MessageBox::clearShownTexts();
    MessageBox::setSuppressAll(true);
    m_home = new TempHome;
    m_context = new AppContext(m_home->home());
    m_context->clock = &m_clock;
}

void TestAccess::build()
{
    m_data = new DataModule;
    m_data->open(m_home->databasePath());
    DemoData::seed(m_data->database(), m_clock.today());
    m_data->holders().close();
    m_data->holders().open();
    m_context->data = m_data;
    m_assembly = new AppAssembly(*m_context, {.data = m_data, .withLogin = false});
    MainWindow& window = m_assembly->window();
    // The reminder would come up over the window and take the keyboard.
    window.state().reminderShown = true;
    window.state().reminderShownOn = m_clock.today();
    window.show();
    QTRY_COMPARE(QApplication::activeWindow(), &window);
}

void TestAccess::cleanup()
{
    delete m_assembly;
    m_assembly = nullptr;
    delete m_data;
    m_data = nullptr;
    delete m_context;
    delete m_home;
    MessageBox::setSuppressAll(false);
    QApplication::setPalette(m_lightPalette);
}

void TestAccess::everyControlHasItsOwnName_data()
{
    QTest::addColumn<QString>("window");
    for (const char* w : {"card tab, editor open", "month tab", "bank tab", "promotion tab", "settings tab",
                          "reminder", "login", "holder dialog"})
        QTest::newRow(w) << QString::fromLatin1(w);
}

void TestAccess::everyControlHasItsOwnName()
{
    QFETCH(QString, window);
    build();
    MainWindow& main = m_assembly->window();
    QWidget* swept = &main;
    if (window == u"card tab, editor open") {
        main.cardPage()->toggleEditor();
    } else if (window == u"month tab") {
        main.pages()->setCurrentWidget(main.monthPage());
    } else if (window == u"bank tab") {
        main.pages()->setCurrentWidget(main.findChild<QWidget*>(QStringLiteral("bankPage")));
    } else if (window == u"promotion tab") {
        main.pages()->setCurrentWidget(main.findChild<QWidget*>(QStringLiteral("promoPage")));
    } else if (window == u"settings tab") {
        main.pages()->setCurrentWidget(main.settingsPage());
    } else if (window == u"reminder") {
        swept = &m_assembly->reminder();
        swept->show();
    } else if (window == u"login") {
        LoginDialog login;
        login.show();
        QVERIFY(QTest::qWaitForWindowExposed(&login));
        const QStringList problems = namingProblems(&login);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        QVERIFY(!focusableControls(&login).isEmpty());
        return;
    } else if (window == u"holder dialog") {
        swept = &m_assembly->holders();
        m_assembly->holders().showOrRaise();
    }
    QVERIFY(QTest::qWaitForWindowExposed(swept));
    QVERIFY(!focusableControls(swept).isEmpty());
    const QStringList problems = namingProblems(swept);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

void TestAccess::hiddenPagesAreNoTabs()
{
    build();
    QTabBar* bar = m_assembly->window().pages()->tabBar();
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(bar);
    QVERIFY(iface);
    QStringList offered;
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        if (child && child->role() == QAccessible::PageTab && !child->state().invisible)
            offered << child->text(QAccessible::Name);
    }
    QCOMPARE(offered,
             QStringList({"信用卡信息", "还款日历", "银行网站及电话", "在线申请信用卡", "系统设置"}));
}

void TestAccess::reminderIsADialogWithKeys()
{
    build();
    ReminderWindow& reminder = m_assembly->reminder();
    QCOMPARE(QAccessible::queryAccessibleInterface(&reminder)->role(), QAccessible::Dialog);
    auto* snooze = reminder.findChild<QPushButton*>(QStringLiteral("snoozeButton"));
    QVERIFY(snooze->isDefault());

    QSignalSpy closed(&reminder, &ReminderWindow::closed);
    reminder.show();
    reminder.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &reminder);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!reminder.isVisible());
    QCOMPARE(closed.count(), 1);
    QVERIFY(!m_assembly->window().snoozeTimer().isActive());

    // Enter snoozes, as "确定" does.
    reminder.show();
    reminder.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &reminder);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(!reminder.isVisible());
    QCOMPARE(closed.count(), 2);
    QVERIFY(m_assembly->window().snoozeTimer().isActive());
}

void TestAccess::tabLeavesTheGrid()
{
    build();
    QTableView* grid = m_assembly->window().cardPage()->grid();
    QAbstractItemModel* model = grid->model();
    QVERIFY(model->rowCount() > 1);
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
        grid->setFocus();
        QTRY_COMPARE(focused(), grid);
        grid->setCurrentIndex(model->index(model->rowCount() - 1, model->columnCount() - 1));
        press(key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        QVERIFY2(focused() != grid, key == Qt::Key_Tab ? "Tab" : "Shift+Tab");
    }
}

void TestAccess::pagesSwitchWhereverTheFocusIs_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("page");
    const int ctrl = int(Qt::ControlModifier), ctrlShift = int(Qt::ControlModifier | Qt::ShiftModifier);
    for (const char* focus : {"cardGrid", "cardNameEdit", "dueWindowBox"}) {
        QTest::addRow("Ctrl+Tab in %s", focus)
            << focus << int(Qt::Key_Tab) << ctrl << "RepaymentCalendarPage";
        QTest::addRow("Ctrl+PgDn in %s", focus)
            << focus << int(Qt::Key_PageDown) << ctrl << "RepaymentCalendarPage";
        QTest::addRow("Ctrl+Shift+Tab in %s", focus)
            << focus << int(Qt::Key_Backtab) << ctrlShift << "settingsPage";
        QTest::addRow("Ctrl+PgUp in %s", focus) << focus << int(Qt::Key_PageUp) << ctrl << "settingsPage";
    }
}

void TestAccess::pagesSwitchWhereverTheFocusIs()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, page);
    build();
    MainWindow& window = m_assembly->window();
    window.cardPage()->toggleEditor();
    auto* target = window.cardPage()->findChild<QWidget*>(focus);
    target->setFocus();
    QTRY_COMPARE(focused(), target);
    press(key, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(window.pages()->currentWidget()->objectName(), page);
}

void TestAccess::cardAddedSavedDeletedWithKeysOnly()
{
    build();
    CardPage* page = m_assembly->window().cardPage();
    const int before = cardCount();
    page->grid()->setFocus();
    QTRY_COMPARE(focused(), page->grid());

    // Ctrl+N: the editor unfolds on a new card, its first field ready.
    press(Qt::Key_N, Qt::ControlModifier);
    QVERIFY(page->editorHeight() > 20);
    QCOMPARE(focused()->objectName(), QStringLiteral("cardNameEdit"));
    typeText(QStringLiteral("键盘卡"));
    // Row by row, left to right: 卡号, then 账单日 and 还款日 beside it.
    const QStringList order = {"cardNumberEdit",       "statementDayEdit",    "repaymentDayEdit",
                               "shortestFreeDaysEdit", "validityEdit",        "checkCodeEdit",
                               "creditLimitEdit",      "longestFreeDaysEdit", "cardHolderBox",
                               "holderButton",         "minimumRatioEdit",    "minimumRepaymentEdit",
                               "amountUsedEdit"};
    for (const QString& next : order) {
        press(Qt::Key_Tab);
        QCOMPARE(focused()->objectName(), next);
        if (next == u"statementDayEdit")
            typeText(QStringLiteral("3"));
        else if (next == u"repaymentDayEdit")
            typeText(QStringLiteral("21"));
    }
    press(Qt::Key_Return); // saves
    QCOMPARE(MessageBox::shownTexts(), QStringList());
    QCOMPARE(cardCount(), before + 1);
    QCOMPARE(Stored::value(m_data->database(), QStringLiteral("SELECT c_jzr FROM txyk WHERE c_name='键盘卡'"))
                 .toInt(),
             3);

    // Tab on to the grid, where the saved card is the current one; Delete asks first.
    for (int i = 0; i < 60 && focused() != page->grid(); ++i)
        press(Qt::Key_Tab);
    QCOMPARE(focused(), page->grid());
    QCOMPARE(m_data->cards().textValue(QStringLiteral("c_name")), QStringLiteral("键盘卡"));
    MessageBox::setNextAnswer(QMessageBox::No);
    press(Qt::Key_Delete);
    QCOMPARE(cardCount(), before + 1);
    MessageBox::setNextAnswer(QMessageBox::Yes);
    press(Qt::Key_Delete);
    QCOMPARE(cardCount(), before);
    QCOMPARE(
        Stored::value(m_data->database(), QStringLiteral("SELECT count(*) FROM txyk WHERE c_name='键盘卡'"))
            .toInt(),
        0);
}

void TestAccess::escapeDropsANewCard()
{
    build();
    CardPage* page = m_assembly->window().cardPage();
    const int before = cardCount();
    const int listed = page->grid()->model()->rowCount();
    page->grid()->setFocus();
    QTRY_COMPARE(focused(), page->grid());
    press(Qt::Key_Insert);
    typeText(QStringLiteral("不要的卡"));
    press(Qt::Key_Escape);
    QVERIFY(!page->editor()->isEditing());
    QCOMPARE(page->grid()->model()->rowCount(), listed);
    press(Qt::Key_S, Qt::ControlModifier); // nothing left to save
    QCOMPARE(cardCount(), before);
    QCOMPARE(MessageBox::shownTexts(), QStringList());
}

void TestAccess::holderDialogEnterSavesEscapeCancels()
{
    build();
    HolderDialog& dialog = m_assembly->holders();
    dialog.showOrRaise();
    QTRY_COMPARE(QApplication::activeWindow(), &dialog);
    Database& db = m_data->database();
    const QString countSql = QStringLiteral("SELECT count(*) FROM tname");
    const int before = Stored::value(db, countSql).toInt();

    // Escape drops what was typed and keeps the dialog open.
    dialog.navigator()->findChild<QToolButton*>(QStringLiteral("nbInsert"))->click();
    QCOMPARE(focused(), dialog.nameEdit());
    typeText(QStringLiteral("丢弃"));
    press(Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    QCOMPARE(Stored::value(db, countSql).toInt(), before);

    // Enter saves.
    dialog.navigator()->findChild<QToolButton*>(QStringLiteral("nbInsert"))->click();
    typeText(QStringLiteral("键盘"));
    press(Qt::Key_Return);
    QCOMPARE(Stored::value(db, countSql).toInt(), before + 1);
    QVERIFY(dialog.isVisible());

    // With nothing pending, Escape closes it.
    press(Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(Stored::value(db, countSql).toInt(), before + 1);
}

void TestAccess::quitKeyAsksFirst()
{
    build();
    MainWindow& window = m_assembly->window();
    window.cardPage()->grid()->setFocus();
    QTRY_VERIFY(focused());
    MessageBox::setNextAnswer(QMessageBox::No);
    press(Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(MessageBox::shownTexts(), QStringList{QStringLiteral("您真的要退出吗？")});
    QVERIFY(window.isVisible());
}

void TestAccess::plannerHasAWayIn()
{
    build();
    MainWindow& window = m_assembly->window();
    QTabWidget* pages = window.pages();
    auto shownTabs = [pages] {
        QStringList shown;
        for (int i = 0; i < pages->count(); ++i)
            if (pages->isTabVisible(i))
                shown << pages->widget(i)->objectName();
        return shown;
    };
    QVERIFY(!pages->findChild<QWidget*>(QStringLiteral("cashFlowJournalPage"))->isVisible());
    const QStringList usual = {"cardPage", "RepaymentCalendarPage", "bankPage", "promoPage", "settingsPage"};
    QCOMPARE(shownTabs(), usual);
    pages->setCurrentWidget(window.settingsPage());
    window.settingsPage()->findChild<QPushButton*>(QStringLiteral("PlannerButton"))->click();
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("cashFlowJournalPage"));
    QCOMPARE(shownTabs(), QStringList({"cashFlowJournalPage", "cardPage", "RepaymentCalendarPage", "bankPage",
                                       "promoPage", "cashFlowParameterPage", "settingsPage"}));
    pages->setCurrentWidget(
        pages->findChild<QWidget*>(QStringLiteral("cashFlowParameterPage"))); // its second page
    QCOMPARE(shownTabs().size(), 7);
    pages->setCurrentWidget(window.cardPage()); // leaving the planner hides its pages again
    QCOMPARE(shownTabs(), usual);
    QCOMPARE(pages->count(), 5);
}

void TestAccess::textReadableInLightAndDark_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void TestAccess::textReadableInLightAndDark()
{
    QFETCH(bool, dark);
    if (dark)
        QApplication::setPalette(darkPalette());
    build();
    MainWindow& window = m_assembly->window();
    CardPage* page = window.cardPage();
    page->toggleEditor();
    QStringList problems;

    // The grid: every shaded row and every coloured title brings its text colour.
    const QAbstractItemModel* model = page->grid()->model();
    QSet<QRgb> shades;
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int column = 0; column < model->columnCount(); ++column) {
            const QVariant background = model->index(row, column).data(Qt::BackgroundRole);
            if (!background.isValid())
                continue;
            shades << background.value<QColor>().rgb();
            const QVariant text = model->index(row, column).data(Qt::ForegroundRole);
            if (!text.isValid() || Contrast::ratio(text.value<QColor>(), background.value<QColor>()) < 4.5)
                problems << QStringLiteral("grid row %1 column %2").arg(row).arg(column);
        }
    }
    QCOMPARE(shades, QSet<QRgb>({CardGridModel::kDueSoon.rgb(), CardGridModel::kDueToday.rgb()}));
    for (int column = 0; column < model->columnCount(); ++column) {
        const QVariant background = model->headerData(column, Qt::Horizontal, Qt::BackgroundRole);
        const QVariant text = model->headerData(column, Qt::Horizontal, Qt::ForegroundRole);
        QVERIFY(background.isValid());
        if (!text.isValid() || Contrast::ratio(text.value<QColor>(), background.value<QColor>()) < 4.5)
            problems << QStringLiteral("title %1").arg(column);
    }

    // The month view: every shaded day brings its text colour (the demo has every state).
    const RepaymentMonthModel* month = window.monthPage()->model();
    window.pages()->setCurrentWidget(window.monthPage());
    QSet<QRgb> dayShades;
    for (int row = 0; row < month->rowCount(); ++row) {
        for (int column = 0; column < month->columnCount(); ++column) {
            const QVariant background = month->index(row, column).data(Qt::BackgroundRole);
            if (!background.isValid())
                continue;
            dayShades << background.value<QColor>().rgb();
            const QVariant text = month->index(row, column).data(Qt::ForegroundRole);
            if (!text.isValid() || Contrast::ratio(text.value<QColor>(), background.value<QColor>()) < 4.5)
                problems << QStringLiteral("month row %1 column %2").arg(row).arg(column);
        }
    }
    QCOMPARE(dayShades.size(), 3);

    // The pages, the reminder's fixed colours and the dialogs.
    for (int i = 0; i < window.pages()->count(); ++i) {
        if (!window.pages()->isTabVisible(i))
            continue;
        window.pages()->setCurrentIndex(i);
        problems << unreadableTexts(&window);
    }
    m_context->settings.savePassword(QStringLiteral("x")); // the settings' warning shows
    window.settingsPage()->showValues(false, true, 0, false, QString());
    window.pages()->setCurrentWidget(window.settingsPage());
    QVERIFY(window.settingsPage()->findChild<QLabel*>(QStringLiteral("PasswordWarning"))->isVisible());
    problems << unreadableTexts(&window);
    ReminderWindow& reminder = m_assembly->reminder();
    reminder.show();
    problems << unreadableTexts(&reminder);
    LoginDialog login;
    login.show();
    QVERIFY(login.findChild<QLabel*>(QStringLiteral("loginNote"))->isVisible());
    problems << unreadableTexts(&login);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

void TestAccess::contrastHelperKeepsTheHue_data()
{
    QTest::addColumn<QColor>("hue");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("expected");
    // The reminder's fixed colours on sky blue, and the hints on a light and a dark window.
    const QColor sky(0xA6, 0xCA, 0xF0);
    QTest::newRow("fuchsia on sky blue") << QColor(0xFF, 0x00, 0xFF) << sky << QColor(0x95, 0x00, 0x95);
    QTest::newRow("red on sky blue") << QColor(0xFF, 0x00, 0x00) << sky << QColor(0xAB, 0x00, 0x00);
    QTest::newRow("maroon on sky blue: already fine") << QColor(0x80, 0, 0) << sky << QColor(0x80, 0, 0);
    QTest::newRow("silver on light gray")
        << QColor(0xC0, 0xC0, 0xC0) << QColor(0xEF, 0xEF, 0xEF) << QColor(0x6C, 0x6C, 0x6C);
    QTest::newRow("gray on light gray")
        << QColor(0x80, 0x80, 0x80) << QColor(0xEF, 0xEF, 0xEF) << QColor(0x6C, 0x6C, 0x6C);
    QTest::newRow("maroon on dark gray")
        << QColor(0x80, 0, 0) << QColor(0x35, 0x35, 0x35) << QColor(0xFF, 0x6F, 0x6F);
}

void TestAccess::contrastHelperKeepsTheHue()
{
    QFETCH(QColor, hue);
    QFETCH(QColor, background);
    QFETCH(QColor, expected);
    const QColor got = Contrast::readableOn(hue, background);
    QCOMPARE(got.name(), expected.name());
    QVERIFY(Contrast::ratio(got, background) >= 4.5);
    if (hue.hslSaturation() > 0)
        QCOMPARE(got.hslHue(), hue.hslHue());
}

QTEST_MAIN(TestAccess)
#include "tst_access.moc"
