#include "views/FilterBar.h"

#include "ui/Contrast.h"
#include "views/HolderListModel.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>

using CardFilter::FilterEvent;

CloseUpComboBox::CloseUpComboBox(QWidget* parent) : QComboBox(parent)
{
    // The list's pop-up window hides however the list closes: a choice, Escape, a click
    // elsewhere. Hiding the main window does not hide it again, so that is no close-up.
    view()->window()->installEventFilter(this);
    connect(this, &QComboBox::activated, this, [this] {
        if (m_closePending || view()->window()->isVisible())
            return; // chosen in the open list: the close-up reports it
        emit closedUp();
    });
}

bool CloseUpComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide && watched == view()->window() && !m_closePending) {
        // The box stores a choice only after its list has hidden: report once it has.
        m_closePending = true;
        QMetaObject::invokeMethod(this, &CloseUpComboBox::reportCloseUp, Qt::QueuedConnection);
    }
    return QComboBox::eventFilter(watched, event);
}

void CloseUpComboBox::reportCloseUp()
{
    if (!m_closePending)
        return;
    m_closePending = false;
    emit closedUp();
}

FilterBar::FilterBar(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("filterBar"));
    setFixedHeight(31);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(8);

    auto radio = [&](const QString& name, const QString& text) {
        auto* button = new QRadioButton(text, this);
        button->setObjectName(name);
        layout->addWidget(button);
        return button;
    };
    m_all = radio(QStringLiteral("allCardsChoice"), QStringLiteral("所有"));
    m_unpaid = radio(QStringLiteral("unpaidChoice"), QStringLiteral("未还款"));
    m_paid = radio(QStringLiteral("repaidChoice"), QStringLiteral("已还款"));
    m_overdue = radio(QStringLiteral("overdueChoice"), QStringLiteral("已逾期"));
    auto* group = new QButtonGroup(this);
    for (QRadioButton* b : {m_all, m_unpaid, m_paid, m_overdue})
        group->addButton(b);
    m_all->setChecked(true);

    layout->addSpacing(8);
    auto* holderLabel = new QLabel(QStringLiteral("持卡人"), this);
    layout->addWidget(holderLabel);
    m_holderBox = new CloseUpComboBox(this);
    m_holderBox->setObjectName(QStringLiteral("holderFilterBox"));
    m_holderBox->setFixedWidth(140);
    m_holderBox->setAccessibleName(QStringLiteral("筛选持卡人"));
    holderLabel->setBuddy(m_holderBox);
    layout->addWidget(m_holderBox);

    auto* windowLabel = new QLabel(QStringLiteral("时间段"), this);
    layout->addWidget(windowLabel);
    m_windowBox = new CloseUpComboBox(this);
    m_windowBox->setObjectName(QStringLiteral("dueWindowBox"));
    m_windowBox->addItems(CardFilter::windowItems());
    for (int i = 0; i < m_windowBox->count(); ++i)
        m_windowBox->setItemData(i, CardFilter::windowTip(i), Qt::ToolTipRole);
    m_windowBox->setCurrentIndex(0);
    m_windowBox->setFixedWidth(81);
    m_windowBox->setAccessibleName(QStringLiteral("筛选时间段"));
    windowLabel->setBuddy(m_windowBox);
    layout->addWidget(m_windowBox);
    // The box says which days its entry covers: "二天内" reaches two days on, not one.
    connect(m_windowBox, &QComboBox::currentIndexChanged, this, &FilterBar::showWindowTip);
    showWindowTip();

    m_hidePaid = new QCheckBox(QStringLiteral("隐藏已还款"), this);
    m_hidePaid->setObjectName(QStringLiteral("hideRepaidBox"));
    layout->addWidget(m_hidePaid);
    m_hideOverdue = new QCheckBox(QStringLiteral("隐藏逾期"), this);
    m_hideOverdue->setObjectName(QStringLiteral("hideOverdueBox"));
    layout->addWidget(m_hideOverdue);
    layout->addStretch(1);

    m_reminderButton = new QToolButton(this);
    m_reminderButton->setObjectName(QStringLiteral("reminderButton"));
    m_reminderButton->setText(QStringLiteral("3天还款信息"));
    m_reminderButton->setAutoRaise(true);
    m_reminderButton->setCursor(Qt::PointingHandCursor);
    m_reminderButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_T));
    m_reminderButton->setToolTip(QStringLiteral("打开还款提醒窗口 (Alt+T)"));
    QFont small = m_reminderButton->font();
    small.setPixelSize(11);
    m_reminderButton->setFont(small);
    Contrast::setTextHue(m_reminderButton, QColor(0x80, 0x00, 0x00)); // maroon
    layout->addWidget(m_reminderButton);
    connect(m_reminderButton, &QToolButton::clicked, this, &FilterBar::reminderRequested);

    // Choose events: once a choice has become the selected one (mouse or keyboard).
    connect(m_all, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            fire(FilterEvent::AllChosen);
    });
    connect(m_unpaid, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            fire(FilterEvent::UnpaidChosen);
    });
    connect(m_paid, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            fire(FilterEvent::PaidChosen);
    });
    connect(m_overdue, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            fire(FilterEvent::OverdueChosen);
    });
    // Press events, before the selection changes.
    m_all->installEventFilter(this);
    m_unpaid->installEventFilter(this);
    connect(m_hideOverdue, &QCheckBox::toggled, this, [this] { fire(FilterEvent::HideOverdueToggled); });
    connect(m_hidePaid, &QCheckBox::toggled, this, [this] { fire(FilterEvent::HidePaidToggled); });
    connect(m_holderBox, &CloseUpComboBox::closedUp, this, [this] { fire(FilterEvent::HolderClosed); });
    connect(m_windowBox, &CloseUpComboBox::closedUp, this, [this] { fire(FilterEvent::WindowClosed); });
    m_lastApplied = shown();
}

void FilterBar::setHolders(Query& holders)
{
    auto* model = new HolderListModel(holders, true, this);
    m_holderBox->setModel(model);
    m_holderBox->setCurrentIndex(0); // "所有"
    // The holder list changes under the box: keep the chosen name.
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { m_holderBeforeReset = m_holderBox->currentText(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        const int chosen = m_holderBox->findText(m_holderBeforeReset, Qt::MatchExactly);
        m_holderBox->setCurrentIndex(chosen >= 0 ? chosen : 0); // a holder gone: back to "所有"
    });
    m_lastApplied = shown();
}

bool FilterBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        // A stopped press is swallowed, so the choice does not change either.
        if (watched == m_unpaid)
            return !fire(FilterEvent::UnpaidPressed);
        if (watched == m_all)
            return !fire(FilterEvent::AllChosen);
    }
    return QFrame::eventFilter(watched, event);
}

CardFilter::FilterState FilterBar::state() const
{
    CardFilter::FilterState s;
    using CardFilter::StateChoice;
    s.choice = m_all->isChecked()       ? StateChoice::All
               : m_unpaid->isChecked()  ? StateChoice::Unpaid
               : m_paid->isChecked()    ? StateChoice::Paid
               : m_overdue->isChecked() ? StateChoice::Overdue
                                        : StateChoice::None;
    s.hidePaid = m_hidePaid->isChecked();
    s.hideOverdue = m_hideOverdue->isChecked();
    s.holderText = m_holderBox->currentText();
    s.windowText = m_windowBox->currentText();
    s.windowIndex = m_windowBox->currentIndex();
    return s;
}

bool FilterBar::fire(FilterEvent event)
{
    if (m_beforeFilter && !m_beforeFilter()) {
        restore(m_lastApplied);
        return false;
    }
    if (m_windowBox->currentIndex() < 0) { // the days of a quick list: the bar's own filter has none
        const QSignalBlocker block(m_windowBox);
        m_windowBox->setCurrentIndex(0);
    }
    m_lastApplied = shown();
    const CardFilter::Listing listing = CardFilter::statementFor(event, state());
    emit statementChosen(listing.statement, listing.values);
    return true;
}

FilterBar::Shown FilterBar::shown() const
{
    Shown s;
    for (QRadioButton* b : {m_all, m_unpaid, m_paid, m_overdue}) {
        if (b->isChecked())
            s.choice = b;
    }
    s.hidePaid = m_hidePaid->isChecked();
    s.hideOverdue = m_hideOverdue->isChecked();
    s.holder = m_holderBox->currentText();
    s.window = m_windowBox->currentIndex();
    return s;
}

void FilterBar::showQuickFilter(int index)
{
    const CardFilter::QuickBarState bar = CardFilter::quickBarState(index);
    Shown shown;
    shown.choice = bar.state.choice == CardFilter::StateChoice::Overdue ? m_overdue : m_unpaid;
    shown.hidePaid = bar.state.hidePaid;
    shown.hideOverdue = bar.state.hideOverdue;
    shown.holder = bar.state.holderText;
    shown.window = bar.state.windowIndex;
    m_windowBox->setPlaceholderText(bar.windowText);
    restore(shown);
    m_lastApplied = shown;
}

void FilterBar::showAllCards()
{
    Shown shown;
    shown.choice = m_all;
    shown.holder = QString::fromUtf16(CardFilter::kAllHolders);
    restore(shown);
    m_lastApplied = shown;
}

void FilterBar::restore(const Shown& shown)
{
    const QSignalBlocker blockAll(m_all), blockUnpaid(m_unpaid), blockPaid(m_paid), blockOverdue(m_overdue),
        blockHidePaid(m_hidePaid), blockHideOverdue(m_hideOverdue), blockHolder(m_holderBox),
        blockWindow(m_windowBox);
    if (shown.choice)
        shown.choice->setChecked(true);
    m_hidePaid->setChecked(shown.hidePaid);
    m_hideOverdue->setChecked(shown.hideOverdue);
    m_holderBox->setCurrentIndex(
        shown.holder.isEmpty() ? -1 : m_holderBox->findText(shown.holder, Qt::MatchExactly));
    m_windowBox->setCurrentIndex(shown.window);
    showWindowTip(); // its signal was blocked
}

void FilterBar::showWindowTip()
{
    const int index = m_windowBox->currentIndex();
    m_windowBox->setToolTip(index >= 0 ? CardFilter::windowTip(index)
                                       : QStringLiteral("未还款、剩余") + m_windowBox->placeholderText() +
                                             QStringLiteral("到期的卡片"));
}
