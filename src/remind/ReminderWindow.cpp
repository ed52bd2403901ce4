#include "remind/ReminderWindow.h"

#include "billing/PaidState.h"
#include "remind/DueSoonModel.h"
#include "remind/Snooze.h"
#include "store/Clock.h"
#include "store/DataModule.h"
#include "ui/LoopTimer.h"
#include "ui/MessageBox.h"
#include "ui/ShowErrors.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QColor kSkyBlue(0xA6, 0xCA, 0xF0);
const QColor kHeadingRed(0xAB, 0x00, 0x00);   // red, darkened to 4.5:1 on sky blue
const QColor kValueFuchsia(0x95, 0x00, 0x95); // fuchsia, darkened to 4.5:1 on sky blue

QFont pixelFont(const QStringList& families, int pixels, bool bold = false)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace

// A value of the current card. Stored text is shown as plain text on one line; where it would run
// into the buttons it is cut with "…" and the whole text becomes the tooltip.
class ReminderValueLabel : public QLabel
{
public:
    explicit ReminderValueLabel(QWidget* parent) : QLabel(parent)
    {
        setTextFormat(Qt::PlainText);
        // The text must not widen its column: the room left beside the buttons is what it gets.
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    void setFullText(const QString& text)
    {
        m_full = text;
        fit();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        fit();
    }
    void showEvent(QShowEvent* event) override
    {
        QLabel::showEvent(event);
        fit();
    }

private:
    void fit()
    {
        // Until it is laid out the label has no width of its own to cut to.
        const QString shown =
            isVisible() ? fontMetrics().elidedText(m_full, Qt::ElideRight, contentsRect().width()) : m_full;
        setText(shown);
        const bool cut = shown != m_full;
        setToolTip(!cut                          ? QString()
                   : Qt::mightBeRichText(m_full) ? Qt::convertFromPlainText(m_full, Qt::WhiteSpaceNormal)
                                                 : m_full);
    }

    QString m_full;
};

ReminderWindow::ReminderWindow(DataModule& data, const Clock& clock, QTimer& snoozeTimer, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                          Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_model(new DueSoonModel(this)), m_data(data), m_clock(clock), m_snoozeTimer(snoozeTimer)
{
    setObjectName(QStringLiteral("reminderWindow"));
    setWindowTitle(QStringLiteral("还款提醒"));
    setFixedSize(499, 324);
    setModal(false);
    setAutoFillBackground(true);
    // A fixed palette whatever the desktop's theme: sky blue with dark text. The heading and the
    // values keep their red and fuchsia hues, darkened until they read at 4.5:1 on sky blue.
    QPalette sky = palette();
    sky.setColor(QPalette::Window, kSkyBlue);
    sky.setColor(QPalette::WindowText, Qt::black);
    setPalette(sky);
    setFont(pixelFont({QStringLiteral("MS Sans Serif"), QStringLiteral("Sans Serif")}, 16));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(9, 8, 10, 10);

    m_heading = new QLabel(QStringLiteral("3天内需还款提醒"), this);
    m_heading->setObjectName(QStringLiteral("reminderHeading"));
    m_heading->setTextFormat(Qt::PlainText);
    m_heading->setAlignment(Qt::AlignCenter);
    m_heading->setFrameShape(QFrame::Panel);
    m_heading->setFrameShadow(QFrame::Raised);
    m_heading->setFixedHeight(45);
    m_heading->setFont(pixelFont({QStringLiteral("MS Sans Serif"), QStringLiteral("Sans Serif")}, 24, true));
    QPalette red = m_heading->palette();
    red.setColor(QPalette::WindowText, kHeadingRed);
    m_heading->setPalette(red);
    layout->addWidget(m_heading);

    auto* card = new QFrame(this);
    card->setObjectName(QStringLiteral("reminderCard"));
    card->setFrameShape(QFrame::Panel);
    card->setFrameShadow(QFrame::Sunken);
    auto* grid = new QGridLayout(card);
    const QString fieldNames[5] = {QStringLiteral("cardName"), QStringLiteral("cardNumber"),
                                   QStringLiteral("daysLeft"), QStringLiteral("amountUsed"),
                                   QStringLiteral("minimumRepayment")};
    const QString labelTexts[5] = {QStringLiteral("卡名："), QStringLiteral("卡号："),
                                   QStringLiteral("剩下还款天数："), QStringLiteral("已消费："),
                                   QStringLiteral("最低还款：")};
    const QFont labelFont = pixelFont(
        {QStringLiteral("黑体"), QStringLiteral("SimHei"), QStringLiteral("WenQuanYi Micro Hei")}, 19);
    QPalette maroon = palette();
    maroon.setColor(QPalette::WindowText, QColor(0x80, 0x00, 0x00));
    QPalette fuchsia = palette();
    fuchsia.setColor(QPalette::WindowText, kValueFuchsia);
    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(labelTexts[i], card);
        label->setObjectName(fieldNames[i] + QLatin1String("Caption"));
        label->setFont(labelFont);
        label->setPalette(maroon);
        m_values[i] = new ReminderValueLabel(card);
        m_values[i]->setObjectName(fieldNames[i] + QLatin1String("Value"));
        m_values[i]->setPalette(fuchsia);
        m_values[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setBuddy(m_values[i]);
        grid->addWidget(label, i, 0);
        grid->addWidget(m_values[i], i, 1);
    }
    grid->setColumnStretch(1, 1);

    auto flatButton = [card](const QString& name, const QString& text) {
        auto* button = new QToolButton(card);
        button->setObjectName(name);
        button->setText(text);
        button->setAutoRaise(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setFixedSize(77, 31);
        QPalette blue = button->palette();
        blue.setColor(QPalette::ButtonText, Qt::blue); // 5.0:1 on sky blue
        blue.setColor(QPalette::Button, kSkyBlue);     // also under the pointer
        button->setPalette(blue);
        return button;
    };
    QToolButton* repaid = flatButton(QStringLiteral("markRepaidButton"), QStringLiteral("还清"));
    QToolButton* previous = flatButton(QStringLiteral("previousCardButton"), QStringLiteral("上一张"));
    QToolButton* next = flatButton(QStringLiteral("nextCardButton"), QStringLiteral("下一张"));
    // Keys beside the captions: Alt and the pinyin initial, the page keys to step through.
    repaid->setShortcut(QKeySequence(Qt::ALT | Qt::Key_H));
    repaid->setToolTip(QStringLiteral("当月已还清 (Alt+H)"));
    previous->setShortcut(QKeySequence(Qt::Key_PageUp));
    previous->setToolTip(QStringLiteral("上一张 (PgUp)"));
    next->setShortcut(QKeySequence(Qt::Key_PageDown));
    next->setToolTip(QStringLiteral("下一张 (PgDn)"));
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(repaid);
    buttons->addWidget(previous);
    buttons->addWidget(next);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 2, 5, 1);
    layout->addWidget(card, 1);

    auto* bottom = new QHBoxLayout;
    m_delay = new QComboBox(this);
    m_delay->setObjectName(QStringLiteral("snoozeDelayBox"));
    m_delay->setEditable(true);
    m_delay->setInsertPolicy(QComboBox::NoInsert);
    m_delay->addItems(Snooze::kItems);
    m_delay->setCurrentIndex(-1);
    m_delay->setEditText(Snooze::kItems.first());
    m_delay->setFixedWidth(217);
    m_delay->setAccessibleName(QStringLiteral("再提醒的时间"));
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("snoozeButton"));
    ok->setAccessibleName(QStringLiteral("确定（稍后再提醒）"));
    ok->setDefault(true); // Enter snoozes
    m_snoozeButton = ok;
    auto* stop = new QPushButton(QStringLiteral("不再提醒"), this);
    stop->setObjectName(QStringLiteral("stopRemindingButton"));
    bottom->addSpacing(14);
    bottom->addWidget(m_delay);
    bottom->addStretch(1);
    bottom->addWidget(ok);
    bottom->addWidget(stop);
    layout->addLayout(bottom);

    connect(next, &QToolButton::clicked, this, &ReminderWindow::showNextCard);
    connect(previous, &QToolButton::clicked, this, &ReminderWindow::showPreviousCard);
    connect(repaid, &QToolButton::clicked, this, &ReminderWindow::markRepaid);
    connect(ok, &QPushButton::clicked, this, &ReminderWindow::snooze);
    connect(stop, &QPushButton::clicked, this, &ReminderWindow::dismiss);
    // Every way out (the buttons, the close box, Escape) ends in `finished`.
    connect(this, &QDialog::finished, this, &ReminderWindow::closed);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    showCurrentCard();
}

void ReminderWindow::setCards(const QList<DueSoonCard>& cards)
{
    m_model->setCards(cards);
    m_row = cards.isEmpty() ? -1 : 0;
    showCurrentCard();
}

const QList<DueSoonCard>& ReminderWindow::cards() const
{
    return m_model->cards();
}

int ReminderWindow::currentId() const
{
    return m_row >= 0 ? m_model->cards().at(m_row).id : 0;
}

void ReminderWindow::setHeading(const QString& text)
{
    m_heading->setText(text);
}

QString ReminderWindow::heading() const
{
    return m_heading->text();
}

std::optional<int> ReminderWindow::snoozeDelay() const
{
    return Snooze::delayForText(m_delay->currentText());
}

void ReminderWindow::showCurrentCard()
{
    // The panel's five values are the model's columns, in their order.
    for (int i = 0; i < 5; ++i)
        m_values[i]->setFullText(m_row >= 0 ? m_model->index(m_row, i).data().toString() : QString());
}

void ReminderWindow::showNextCard()
{
    if (m_row + 1 < m_model->rowCount()) {
        ++m_row;
        showCurrentCard();
    }
}

void ReminderWindow::showPreviousCard()
{
    if (m_row > 0) {
        --m_row;
        showCurrentCard();
    }
}

void ReminderWindow::markRepaid()
{
    if (m_row < 0)
        return;
    bool marked = false;
    ui::showErrors(this, [&] {
        if (m_beforeCardListChange && !m_beforeCardListChange())
            return;
        PaidState::markRepaid(m_data, m_clock, currentId());
        marked = true;
        // The marked card is due no more: the list is read anew and starts again from the first.
        setCards(readDueSoonCards(m_data.database()));
    });
    if (marked)
        emit cardMarkedRepaid();
}

void ReminderWindow::snooze()
{
    const std::optional<int> chosen = snoozeDelay();
    if (!chosen) {
        // A typed text that names no delay: nothing stored, nothing armed, the window stays.
        MessageBox::error(this, Snooze::unknownDelayMessage(m_delay->currentText()));
        return;
    }
    ui::showErrors(this, [&] { // on an error nothing is armed and the window stays open
        const int delay = *chosen;
        const int id = currentId();
        Query& scratch = m_data.scratch();
        scratch.setSql(Snooze::statement(delay, id));
        scratch.execute();
        LoopTimer::arm(m_snoozeTimer, delay); // same delay: a pending snooze keeps its due time
        close();
    });
}

void ReminderWindow::dismiss()
{
    m_snoozeTimer.stop();
    close();
}

void ReminderWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    showCurrentCard();
}
