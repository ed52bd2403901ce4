#include "views/CardEditor.h"

#include "store/Query.h"
#include "ui/Contrast.h"
#include "ui/MessageBox.h"
#include "ui/ShowErrors.h"
#include "views/CardRules.h"
#include "views/HolderListModel.h"
#include "views/RecordNavigator.h"

#include <algorithm>

#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The label before a field; it names the field for screen readers too ("*": required).
QLabel* fieldLabel(const QString& text, QWidget* field, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(field);
    QString name = text;
    if (name.endsWith(u'*')) {
        name.chop(1);
        Contrast::setTextHue(label, Qt::red);
        field->setAccessibleDescription(QStringLiteral("必填"));
    }
    field->setAccessibleName(name);
    return label;
}

} // namespace

CardEditor::CardEditor(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    using B = RecordNavigator::Button;
    m_navigator = new RecordNavigator(
        {B::First, B::Prior, B::Next, B::Last, B::Insert, B::Delete, B::Edit, B::Post, B::Cancel, B::Refresh},
        this);
    m_navigator->setObjectName(QStringLiteral("cardNavigator"));
    m_navigator->setToolTip(QStringLiteral("增加/修改/删除"));
    m_navigator->setFixedHeight(41);
    layout->addWidget(m_navigator);

    auto* group = new QGroupBox(this);
    m_fieldsBox = group;
    group->setObjectName(QStringLiteral("cardEditorGroup"));
    group->setFixedHeight(124);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    layout->addWidget(group);

    auto addField = [&](const QString& name, const QString& field, const QString& label, int row, int pair,
                        int width) {
        auto* edit = new QLineEdit(group);
        edit->setObjectName(name);
        edit->setFixedWidth(width);
        grid->addWidget(fieldLabel(label, edit, group), row, pair * 2);
        grid->addWidget(edit, row, pair * 2 + 1, Qt::AlignLeft);
        m_fields.append({field, edit});
        connect(edit, &QLineEdit::textEdited, this, &CardEditor::beginTyping);
        return edit;
    };
    // Rows as on the form; m_fields ends up in keyboard order below.
    QLineEdit* e1 =
        addField(QStringLiteral("cardNameEdit"), QStringLiteral("c_name"), QStringLiteral("卡名*"), 0, 0, 96);
    QLineEdit* e2 =
        addField(QStringLiteral("cardNumberEdit"), QStringLiteral("c_no"), QStringLiteral("卡号"), 0, 1, 96);
    // 96 pixels cut a card number in our fonts: widen the field until 19 digits show whole.
    e2->setFixedWidth(std::max(96, e2->fontMetrics().horizontalAdvance(QString(19, QLatin1Char('8'))) + 16));
    QLineEdit* e3 = addField(QStringLiteral("statementDayEdit"), QStringLiteral("c_jzr"),
                             QStringLiteral("账单日*"), 0, 2, 87);
    QLineEdit* e12 = addField(QStringLiteral("repaymentDayEdit"), QStringLiteral("c_hkr"),
                              QStringLiteral("还款日*"), 0, 3, 96);
    QLineEdit* e4 = addField(QStringLiteral("shortestFreeDaysEdit"), QStringLiteral("izdhkr"),
                             QStringLiteral("最短免息日"), 0, 4, 115);
    QLineEdit* e9 =
        addField(QStringLiteral("validityEdit"), QStringLiteral("c_yxq"), QStringLiteral("有效期"), 1, 0, 96);
    QLineEdit* e10 = addField(QStringLiteral("checkCodeEdit"), QStringLiteral("c_xym"),
                              QStringLiteral("校验码"), 1, 1, 96);
    QLineEdit* e5 = addField(QStringLiteral("creditLimitEdit"), QStringLiteral("i_ed"),
                             QStringLiteral("总额度"), 1, 2, 87);
    QLineEdit* e6 = addField(QStringLiteral("longestFreeDaysEdit"), QStringLiteral("i_mxr"),
                             QStringLiteral("最长免息日"), 1, 3, 96);
    QLineEdit* e7 = addField(QStringLiteral("minimumRatioEdit"), QStringLiteral("i_zdhkbl"),
                             QStringLiteral("最低还款比例"), 2, 0, 96);
    QLineEdit* e8 = addField(QStringLiteral("minimumRepaymentEdit"), QStringLiteral("i_zdhkje"),
                             QStringLiteral("最低还款金额"), 2, 1, 89);
    QLineEdit* e11 = addField(QStringLiteral("amountUsedEdit"), QStringLiteral("i_yxf"),
                              QStringLiteral("已消费"), 2, 2, 88);

    // The ratio counts in tenths (1 means 10 %): its meaning stands beside the field as typed.
    m_ratioMeaning = new QLabel(group);
    m_ratioMeaning->setObjectName(QStringLiteral("ratioMeaning"));
    m_ratioMeaning->setToolTip(QStringLiteral("最低还款比例以十分之一计：1 表示 10%，"
                                              "最低还款金额 = 已消费 × 比例 × 10%"));
    m_ratioMeaning->setMinimumWidth(
        m_ratioMeaning->fontMetrics().horizontalAdvance(QStringLiteral("= 1000%")));
    grid->removeWidget(e7);
    auto* ratioCell = new QHBoxLayout;
    ratioCell->setSpacing(4);
    ratioCell->addWidget(e7);
    ratioCell->addWidget(m_ratioMeaning);
    ratioCell->addStretch(1);
    grid->addLayout(ratioCell, 2, 1);
    connect(e7, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_ratioMeaning->setText(CardRules::ratioMeaning(text)); });

    // Holder box and the button that opens the holder dialog.
    auto* holderCell = new QHBoxLayout;
    holderCell->setSpacing(2);
    m_holderBox = new QComboBox(group);
    m_holderBox->setObjectName(QStringLiteral("cardHolderBox"));
    grid->addWidget(fieldLabel(QStringLiteral("持卡人"), m_holderBox, group), 1, 8);
    m_holderBox->setFixedWidth(140);
    holderCell->addWidget(m_holderBox);
    m_holderButton = new QToolButton(group);
    m_holderButton->setObjectName(QStringLiteral("holderButton"));
    m_holderButton->setAutoRaise(true);
    m_holderButton->setIconSize({16, 16});
    m_holderButton->setFixedWidth(30);
    m_holderButton->setToolTip(QStringLiteral("持卡人维护 (Alt+C)"));
    m_holderButton->setAccessibleName(QStringLiteral("持卡人维护"));
    m_holderButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_C));
    holderCell->addWidget(m_holderButton);
    holderCell->addStretch(1);
    grid->addLayout(holderCell, 1, 9);
    grid->setColumnStretch(10, 1);
    connect(m_holderButton, &QToolButton::clicked, this, &CardEditor::holderDialogRequested);
    connect(m_holderBox, &QComboBox::activated, this, [this](int index) {
        if (m_loading || index < 0)
            return;
        beginTyping();
        m_holderChosen = true;
        m_chosenHolder = m_holderBox->itemText(index);
    });

    // The keyboard goes through the fields as they stand: row by row, left to right.
    QWidget* order[] = {e1, e2, e3, e12, e4, e9, e10, e5, e6, m_holderBox, m_holderButton, e7, e8, e11};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    using Nav = RecordNavigator::Button;
    connect(m_navigator, &RecordNavigator::clicked, this, [this](Nav which) {
        switch (which) {
        case Nav::First:
            first();
            break;
        case Nav::Prior:
            prior();
            break;
        case Nav::Next:
            next();
            break;
        case Nav::Last:
            last();
            break;
        case Nav::Insert:
            insertCard();
            break;
        case Nav::Delete:
            deleteCard();
            break;
        case Nav::Edit:
            editCard();
            break;
        case Nav::Post:
            commit(true);
            break;
        case Nav::Cancel:
            cancel();
            break;
        case Nav::Refresh:
            refresh();
            break;
        }
    });
    setEnabled(false);
}

QLineEdit* CardEditor::fieldEdit(const QString& field) const
{
    for (const Field& f : m_fields) {
        if (f.field == field)
            return f.edit;
    }
    return nullptr;
}

void CardEditor::setQueries(Query& cards, Query& holders)
{
    m_cards = &cards;
    m_holders = &holders;
    m_holderModel = new HolderListModel(holders, false, this);
    m_holderBox->setModel(m_holderModel);
    connect(m_holderModel, &QAbstractItemModel::modelReset, this, &CardEditor::showHolder);
    m_navigator->setQuery(&cards);

    connect(&cards, &Query::currentRowChanged, this, &CardEditor::populate);
    connect(&cards, &QAbstractItemModel::dataChanged, this, &CardEditor::populate);
    connect(&cards, &Query::stateChanged, this, &CardEditor::populate);
    connect(&cards, &QAbstractItemModel::modelReset, this, [this] {
        // A reopened list drops the card being edited.
        m_dirty = false;
        m_holderChosen = false;
        populate();
    });
    setEnabled(true);
    populate();
}

void CardEditor::populate()
{
    if (m_dirty || !m_cards)
        return;
    m_loading = true;
    const bool hasCard = m_cards->isOpen() && m_cards->currentRow() >= 0;
    for (const Field& f : std::as_const(m_fields)) {
        QString text;
        if (hasCard && m_cards->hasField(f.field))
            text = m_cards->textValue(f.field);
        if (f.edit->text() != text)
            f.edit->setText(text);
    }
    m_loading = false;
    showHolder();
}

void CardEditor::showHolder()
{
    if (!m_cards)
        return;
    m_loading = true;
    QString name;
    if (m_holderChosen)
        name = m_chosenHolder;
    else if (m_cards->isOpen() && m_cards->currentRow() >= 0 && m_cards->hasField(QStringLiteral("cname")))
        name = m_cards->textValue(QStringLiteral("cname"));
    // A name the holder list lacks shows as an empty box.
    m_holderBox->setCurrentIndex(name.isEmpty() ? -1 : m_holderBox->findText(name, Qt::MatchExactly));
    m_loading = false;
}

void CardEditor::beginTyping()
{
    if (m_loading || m_dirty || !m_cards)
        return;
    m_dirty = true;
    const bool editing = ui::showErrors(this, [this] {
        if (m_cards->state() == Query::State::Browse || m_cards->state() == Query::State::Closed)
            m_cards->edit(); // on an empty list this starts a new card
    });
    if (!editing) {
        m_dirty = false;
        populate();
    }
}

bool CardEditor::isEditing() const
{
    return m_dirty ||
           (m_cards && (m_cards->state() == Query::State::Edit || m_cards->state() == Query::State::Insert));
}

bool CardEditor::commit(bool explicitSave)
{
    if (!m_cards || !m_cards->isOpen()) {
        m_dirty = false;
        return true;
    }
    const Query::State state = m_cards->state();
    if (state == Query::State::Browse && !m_dirty)
        return true;
    enum class Outcome { Refused, Untouched, Saved };
    Outcome outcome = Outcome::Refused; // also when an error was shown: the card stays in edit mode
    ui::showErrors(this, [&] {
        if (!m_dirty && !explicitSave) {
            if (state == Query::State::Insert)
                m_cards->cancel(); // an untouched new card is dropped when moving on
            else
                m_cards->post();
            outcome = Outcome::Untouched;
            return;
        }

        QHash<QString, QString> texts;
        for (const Field& f : std::as_const(m_fields))
            texts.insert(f.field, f.edit->text());
        if (const auto problem = CardRules::checkCard(texts)) {
            MessageBox::error(this, problem->message);
            if (QLineEdit* edit = fieldEdit(problem->field)) {
                edit->setFocus();
                edit->selectAll();
            }
            return;
        }

        if (state == Query::State::Browse)
            m_cards->edit();
        m_typedFields.clear();
        for (const Field& f : std::as_const(m_fields)) {
            const QString text = f.edit->text();
            if (text != m_cards->textValue(f.field)) {
                const bool blank = text.trimmed().isEmpty();
                m_cards->setValue(f.field, blank ? QVariant() : QVariant(text));
                if (!blank)
                    m_typedFields << f.field;
            }
        }
        if (m_holderChosen)
            m_cards->setValue(QStringLiteral("cname"), m_chosenHolder);
        m_cards->post(m_saveStep);
        outcome = Outcome::Saved;
    });
    if (outcome != Outcome::Saved)
        return outcome == Outcome::Untouched;

    m_dirty = false;
    m_holderChosen = false;
    if (m_afterSave) // a failure here leaves the card itself saved
        ui::showErrors(this, [this] { m_afterSave(m_cards->intValue(QStringLiteral("id"))); });
    populate();
    return true;
}

template <typename Move> void CardEditor::moveBy(Move move)
{
    if (!m_cards || !commit())
        return;
    ui::showErrors(this, [&] { move(*m_cards); });
}

void CardEditor::first()
{
    moveBy([](Query& q) { q.first(); });
}

void CardEditor::prior()
{
    moveBy([](Query& q) { q.prior(); });
}

void CardEditor::next()
{
    moveBy([](Query& q) { q.next(); });
}

void CardEditor::last()
{
    moveBy([](Query& q) { q.last(); });
}

void CardEditor::refresh()
{
    moveBy([](Query& q) { q.refresh(); });
}

void CardEditor::editCard()
{
    moveBy([](Query& q) { q.edit(); });
}

void CardEditor::insertCard()
{
    moveBy([this](Query& q) {
        q.insert();
        populate();
        m_fields.first().edit->setFocus();
    });
}

void CardEditor::cancel()
{
    if (!m_cards)
        return;
    m_dirty = false;
    m_holderChosen = false;
    ui::showErrors(this, [this] { m_cards->cancel(); });
    populate();
}

void CardEditor::deleteCard()
{
    if (!m_cards || !m_cards->isOpen() || m_cards->isEmpty())
        return;
    if (!MessageBox::question(this, RecordNavigator::deleteQuestion(), {}))
        return;
    m_dirty = false;
    m_holderChosen = false;
    ui::showErrors(this, [this] { m_cards->remove(); });
    populate();
}
