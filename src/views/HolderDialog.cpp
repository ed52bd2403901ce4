#include "views/HolderDialog.h"

#include "store/DataModule.h"
#include "ui/MessageBox.h"
#include "ui/ShowErrors.h"
#include "views/CardRules.h"
#include "views/FieldColumnsModel.h"
#include "views/QueryViewBinder.h"
#include "views/RecordNavigator.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>

HolderDialog::HolderDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("holderDialog"));
    setWindowTitle(QStringLiteral("持卡人维护"));
    setFixedSize(505, 364);
    setModal(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* top = new QWidget(this);
    top->setFixedHeight(53);
    auto* topLayout = new QHBoxLayout(top);
    topLayout->setContentsMargins(6, 6, 6, 6);
    using B = RecordNavigator::Button;
    m_navigator =
        new RecordNavigator({B::First, B::Prior, B::Next, B::Last, B::Insert, B::Delete, B::Post}, top);
    m_navigator->setObjectName(QStringLiteral("holderNavigator"));
    topLayout->addWidget(m_navigator);
    layout->addWidget(top);

    auto* middle = new QWidget(this);
    middle->setFixedHeight(72);
    auto* middleLayout = new QHBoxLayout(middle);
    middleLayout->setContentsMargins(16, 0, 16, 0);
    QFont large = font();
    large.setPixelSize(16);
    auto* label = new QLabel(QStringLiteral("持卡人"), middle);
    label->setFont(large);
    middleLayout->addWidget(label);
    m_nameEdit = new QLineEdit(middle);
    m_nameEdit->setObjectName(QStringLiteral("holderNameEdit"));
    m_nameEdit->setFont(large);
    m_nameEdit->setFixedWidth(209);
    middleLayout->addWidget(m_nameEdit);
    label->setBuddy(m_nameEdit);
    middleLayout->addStretch(1);
    layout->addWidget(middle);

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("holderGrid"));
    m_grid->setAccessibleName(QStringLiteral("持卡人列表"));
    m_grid->setTabKeyNavigation(false);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->setFixedWidth(12);
    m_grid->verticalHeader()->setDefaultSectionSize(20);
    layout->addWidget(m_grid, 1);
    m_nameEdit->setEnabled(false);
}

void HolderDialog::attachData(DataModule& data)
{
    m_holders = &data.holders();
    auto* model = new FieldColumnsModel({{QStringLiteral("c_name"), QStringLiteral("持卡人")}}, this);
    model->setSourceModel(m_holders);
    m_grid->setModel(model);
    m_grid->horizontalHeader()->resizeSection(0, 225);
    m_binder = new QueryViewBinder(m_grid, *m_holders, this);
    m_navigator->setQuery(m_holders);
    m_nameEdit->setEnabled(true);

    connect(m_holders, &Query::currentRowChanged, this, &HolderDialog::populate);
    connect(m_holders, &Query::stateChanged, this, &HolderDialog::populate);
    connect(m_holders, &QAbstractItemModel::dataChanged, this, &HolderDialog::populate);
    connect(m_holders, &QAbstractItemModel::modelReset, this, &HolderDialog::populate);
    connect(m_nameEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_updating = true;
        ui::showErrors(this, [&] { m_holders->setValue(QStringLiteral("c_name"), text); }); // starts editing
        m_updating = false;
    });

    // Moving in the grid saves the holder being edited, checked as by the save button.
    m_binder->setBeforeMove([this] { return commitPending(false); });

    using B = RecordNavigator::Button;
    connect(m_navigator, &RecordNavigator::clicked, this, [this](B which) {
        switch (which) {
        case B::First:
            if (commitPending(false))
                run([](Query& q) { q.first(); });
            break;
        case B::Prior:
            if (commitPending(false))
                run([](Query& q) { q.prior(); });
            break;
        case B::Next:
            if (commitPending(false))
                run([](Query& q) { q.next(); });
            break;
        case B::Last:
            if (commitPending(false))
                run([](Query& q) { q.last(); });
            break;
        case B::Insert:
            if (commitPending(false)) {
                run([](Query& q) { q.insert(); });
                m_nameEdit->setFocus();
            }
            break;
        case B::Delete:
            if (m_holders->isOpen() && !m_holders->isEmpty() &&
                MessageBox::question(this, RecordNavigator::deleteQuestion(), {}))
                run([](Query& q) { q.remove(); });
            break;
        case B::Post:
            commitPending(true);
            break;
        default:
            break;
        }
    });
    populate();
}

void HolderDialog::run(void (*action)(Query&))
{
    if (!m_holders)
        return;
    ui::showErrors(this, [&] { action(*m_holders); });
}

bool HolderDialog::commitPending(bool explicitSave)
{
    if (!m_holders || !m_holders->isOpen())
        return true;
    const Query::State state = m_holders->state();
    if (state != Query::State::Edit && state != Query::State::Insert)
        return true;
    const QString name = m_holders->textValue(QStringLiteral("c_name"));
    if (const auto problem = CardRules::checkHolderName(name)) {
        // A new row left empty is simply dropped when moving on; otherwise the user is told and
        // the row stays in edit mode.
        if (state == Query::State::Insert && name.isEmpty() && !explicitSave) {
            run([](Query& q) { q.cancel(); });
            return true;
        }
        MessageBox::error(this, *problem);
        m_nameEdit->setFocus();
        return false;
    }
    return ui::showErrors(this, [this] { m_holders->post(); });
}

void HolderDialog::populate()
{
    if (m_updating || !m_holders)
        return;
    QString text;
    if (m_holders->isOpen() && m_holders->currentRow() >= 0 && m_holders->hasField(QStringLiteral("c_name")))
        text = m_holders->textValue(QStringLiteral("c_name"));
    if (m_nameEdit->text() != text)
        m_nameEdit->setText(text);
}

void HolderDialog::showOrRaise()
{
    show();
    raise();
    activateWindow();
}

void HolderDialog::keyPressEvent(QKeyEvent* event)
{
    // Enter saves the holder being typed; Escape drops it (and, with nothing pending, closes).
    // Keys the grid's in-place editor takes never get here.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        commitPending(true);
        return;
    }
    if (plain && event->key() == Qt::Key_Escape && m_holders && m_holders->isOpen() &&
        (m_holders->state() == Query::State::Edit || m_holders->state() == Query::State::Insert)) {
        run([](Query& q) { q.cancel(); });
        populate();
        return;
    }
    QDialog::keyPressEvent(event);
}

void HolderDialog::hideEvent(QHideEvent* event)
{
    // Closing the dialog keeps what was typed: a pending holder is saved. A name left empty
    // cannot be, and the dialog is gone: it is dropped (the user is told) rather than kept
    // half-edited behind a hidden window.
    if (m_holders && m_holders->isOpen() && !commitPending(false))
        run([](Query& q) { q.cancel(); });
    QDialog::hideEvent(event);
}
