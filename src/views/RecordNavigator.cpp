#include "views/RecordNavigator.h"

#include "store/Query.h"

#include <QHBoxLayout>
#include <QToolButton>

namespace {
struct ButtonLook
{
    const char16_t* name;
    const char16_t* hint;
    const char16_t* glyph;
};

constexpr ButtonLook kLooks[] = {
    {u"nbFirst", u"首条", u"|◀"},  {u"nbPrior", u"上一条", u"◀"}, {u"nbNext", u"下一条", u"▶"},
    {u"nbLast", u"尾条", u"▶|"},   {u"nbInsert", u"增加", u"+"},  {u"nbDelete", u"删除", u"−"},
    {u"nbEdit", u"编辑", u"▲"},    {u"nbPost", u"保存", u"✔"},    {u"nbCancel", u"取消", u"✘"},
    {u"nbRefresh", u"刷新", u"↻"},
};
} // namespace

QString RecordNavigator::hint(Button which)
{
    return QString::fromUtf16(kLooks[int(which)].hint);
}

QString RecordNavigator::objectNameOf(Button which)
{
    return QString::fromUtf16(kLooks[int(which)].name);
}

RecordNavigator::RecordNavigator(const QList<Button>& buttons, QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (Button which : buttons) {
        auto* button = new QToolButton(this);
        button->setObjectName(objectNameOf(which));
        button->setText(QString::fromUtf16(kLooks[int(which)].glyph));
        button->setToolTip(hint(which));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        connect(button, &QToolButton::clicked, this, [this, which] { emit clicked(which); });
        layout->addWidget(button);
        m_buttons.append({which, button});
    }
}

QToolButton* RecordNavigator::button(Button which) const
{
    for (const auto& [kind, button] : m_buttons) {
        if (kind == which)
            return button;
    }
    return nullptr;
}

void RecordNavigator::setQuery(Query* query)
{
    m_query = query;
    if (query) {
        connect(query, &Query::stateChanged, this, &RecordNavigator::updateButtons);
        connect(query, &Query::currentRowChanged, this, &RecordNavigator::updateButtons);
        connect(query, &QAbstractItemModel::modelReset, this, &RecordNavigator::updateButtons);
        connect(query, &QAbstractItemModel::rowsInserted, this, &RecordNavigator::updateButtons);
        connect(query, &QAbstractItemModel::rowsRemoved, this, &RecordNavigator::updateButtons);
    }
    updateButtons();
}

void RecordNavigator::updateButtons()
{
    const bool open = m_query && m_query->isOpen();
    const bool editing =
        open && (m_query->state() == Query::State::Edit || m_query->state() == Query::State::Insert);
    const bool hasRows = open && !m_query->isEmpty();
    const int row = open ? m_query->currentRow() : -1;
    const int last = open ? m_query->recordCount() - 1 : -1;
    for (const auto& [which, button] : m_buttons) {
        bool enabled = open;
        switch (which) {
        case Button::First:
        case Button::Prior:
            enabled = hasRows && row > 0;
            break;
        case Button::Next:
        case Button::Last:
            enabled = hasRows && row < last;
            break;
        case Button::Insert:
        case Button::Refresh:
            enabled = open;
            break;
        case Button::Delete:
            enabled = hasRows;
            break;
        case Button::Edit:
            enabled = hasRows && !editing;
            break;
        case Button::Post:
        case Button::Cancel:
            enabled = editing;
            break;
        }
        button->setEnabled(enabled);
    }
}
