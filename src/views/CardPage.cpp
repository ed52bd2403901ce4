#include "views/CardPage.h"

#include "billing/BestCard.h"
#include "billing/ControlsSuspended.h"
#include "billing/PaidState.h"
#include "billing/RefreshPass.h"
#include "store/DataModule.h"
#include "store/Error.h"
#include "ui/AppContext.h"
#include "ui/Contrast.h"
#include "ui/DialogParent.h"
#include "ui/MessageBox.h"
#include "ui/ShowErrors.h"
#include "views/CardEditor.h"
#include "views/CardFilter.h"
#include "views/CardGrid.h"
#include "views/CardGridModel.h"
#include "views/CardImportDialog.h"
#include "views/CsvExport.h"
#include "views/FilterBar.h"

#include <QAction>
#include <QBitmap>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QShortcut>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <array>
#include <optional>

namespace {

// What each count says, in count order: due within 1, 2, 3, 7, 10, 15 days, overdue, the 3-day total.
constexpr std::array<const char*, 8> kCountNames{"dueIn1Day",  "dueIn2Days",     "dueIn3Days",
                                                 "dueIn7Days", "dueIn10Days",    "dueIn15Days",
                                                 "overdue",    "dueIn3DaysTotal"};

} // namespace

QString CardPage::countLabelName(int i)
{
    return QLatin1String(kCountNames.at(size_t(i))) + QLatin1String("Count");
}

QString CardPage::countButtonName(int i)
{
    return QLatin1String(kCountNames.at(size_t(i))) + QLatin1String("Button");
}

namespace {
QFont heiti(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("SimHei"), QStringLiteral("黑体"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(pixelSize);
    return font;
}

QLabel* redLabel(const QString& name, int pixelSize, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFont(heiti(pixelSize));
    Contrast::setTextHue(label, Qt::red);
    return label;
}

} // namespace

CardPage::CardPage(const AppContext& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Summary panel: the date on the left, the eight counts in four columns of two rows, each
    // under a flat button that lists the cards it counts.
    m_summary = new QFrame(this);
    m_summary->setObjectName(QStringLiteral("summaryPanel"));
    m_summary->setFixedHeight(80);
    m_summary->setFrameShape(QFrame::StyledPanel);
    auto* summaryLayout = new QHBoxLayout(m_summary);
    m_dateLabel = redLabel(QStringLiteral("todayLabel"), 27, m_summary);
    auto* dateColumn = new QVBoxLayout; // the date, today's best card under it
    dateColumn->setSpacing(0);
    dateColumn->addWidget(m_dateLabel);
    m_bestCardLabel = redLabel(QStringLiteral("bestCardLabel"), 14, m_summary);
    dateColumn->addWidget(m_bestCardLabel);
    summaryLayout->addLayout(dateColumn);
    summaryLayout->addStretch(1);
    auto* counts = new QGridLayout;
    counts->setHorizontalSpacing(18);
    for (int i = 0; i < 8; ++i) {
        QLabel* label = redLabel(countLabelName(i), 16, m_summary);
        label->setText(Refresh::countLabelText(i));
        label->setMinimumWidth(i == 7 ? 171 : 131);
        label->setMinimumHeight(29);
        m_countLabels << label;
        counts->addWidget(label, i % 2, i / 2);

        auto* button = new QToolButton(m_summary);
        button->setObjectName(countButtonName(i));
        button->setAutoRaise(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        button->setStyleSheet(QStringLiteral("QToolButton { background: transparent; border: none; }"
                                             "QToolButton:hover { border: 1px solid #c08080; }"));
        counts->addWidget(button, i % 2, i / 2);
        // The count's own words are loose ("2天内" stops at one day left): the tip is exact.
        QString name = Refresh::countLabelText(i);
        name.remove(u':');
        button->setAccessibleName(QStringLiteral("列出") + name + QStringLiteral("的卡片"));
        button->setToolTip(CardFilter::quickTip(i));
        label->setToolTip(CardFilter::quickTip(i));
        connect(button, &QToolButton::clicked, this, [this, i] { showQuickFilter(i); });
    }
    summaryLayout->addLayout(counts);
    layout->addWidget(m_summary);

    // Fold strip with the full-width editor toggle.
    m_foldStrip = new QFrame(this);
    m_foldStrip->setObjectName(QStringLiteral("editorFoldStrip"));
    m_foldStrip->setFixedHeight(20);
    auto* stripLayout = new QHBoxLayout(m_foldStrip);
    stripLayout->setContentsMargins(1, 1, 1, 1);
    m_foldButton = new QToolButton(m_foldStrip);
    m_foldButton->setObjectName(QStringLiteral("editorFoldButton"));
    m_foldButton->setAutoRaise(true);
    m_foldButton->setFixedHeight(18);
    m_foldButton->setIconSize({16, 16});
    m_foldButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_foldButton->setCursor(Qt::PointingHandCursor);
    m_foldButton->setAccessibleName(QStringLiteral("展开或收起卡片编辑"));
    m_foldButton->setIcon(shippedIcon(QStringLiteral("Arrow Right2.bmp")));
    connect(m_foldButton, &QToolButton::clicked, this, &CardPage::toggleEditor);
    stripLayout->addWidget(m_foldButton);
    layout->addWidget(m_foldStrip);

    // Editor panel, folded at start.
    m_editor = new QFrame(this);
    m_editor->setObjectName(QStringLiteral("cardEditorPanel"));
    auto* editorLayout = new QVBoxLayout(m_editor);
    editorLayout->setContentsMargins(2, 0, 2, 0);
    m_cardEditor = new CardEditor(m_editor);
    editorLayout->addWidget(m_cardEditor);
    layout->addWidget(m_editor);
    setEditorHeight(0);
    connect(m_cardEditor, &CardEditor::holderDialogRequested, this, &CardPage::holderDialogRequested);
    if (QToolButton* holderButton = m_cardEditor->findChild<QToolButton*>(QStringLiteral("holderButton")))
        holderButton->setIcon(shippedIcon(QStringLiteral("holder.bmp")));

    // Filter group: filter bar above the grid.
    m_filterGroup = new QGroupBox(QStringLiteral("筛选条件"), this);
    m_filterGroup->setObjectName(QStringLiteral("filterGroup"));
    auto* groupLayout = new QVBoxLayout(m_filterGroup);
    groupLayout->setContentsMargins(4, 4, 4, 4);
    groupLayout->setSpacing(2);
    m_filterBar = new FilterBar(m_filterGroup);
    auto* barRow = new QHBoxLayout;
    barRow->addWidget(m_filterBar, 1);
    m_exportButton = new QToolButton(m_filterGroup);
    m_exportButton->setObjectName(QStringLiteral("exportButton"));
    m_exportButton->setText(QStringLiteral("导出…"));
    m_exportButton->setToolTip(QStringLiteral("把列表中的卡片保存为 CSV 文件"));
    connect(m_exportButton, &QToolButton::clicked, this, &CardPage::exportShownCards);
    barRow->addWidget(m_exportButton);
    m_importButton = new QToolButton(m_filterGroup);
    m_importButton->setObjectName(QStringLiteral("importButton"));
    m_importButton->setText(QStringLiteral("导入…"));
    m_importButton->setAccessibleName(QStringLiteral("从 CSV 文件导入卡片"));
    m_importButton->setToolTip(QStringLiteral("从 CSV 文件导入卡片（先列出要新增和更新的卡片）"));
    connect(m_importButton, &QToolButton::clicked, this, &CardPage::importCards);
    barRow->addWidget(m_importButton);
    groupLayout->addLayout(barRow);
    m_grid = new CardGrid(m_filterGroup);
    groupLayout->addWidget(m_grid, 1);
    layout->addWidget(m_filterGroup, 1);
    connect(m_filterBar, &FilterBar::statementChosen, this,
            [this](const QString& statement, const QVariantList& values) {
                showStatement(statement, /*freeze=*/true, values);
            });
    connect(m_filterBar, &FilterBar::reminderRequested, this, &CardPage::reminderRequested);
    m_filterBar->setBeforeFilter([this] { return commitPendingEdit(); });

    // Context menu of the grid.
    m_gridMenu = new QMenu(this);
    m_gridMenu->setObjectName(QStringLiteral("cardGridMenu"));
    QAction* repaid = m_gridMenu->addAction(QStringLiteral("当月已还清"));
    repaid->setObjectName(QStringLiteral("markRepaidAction"));
    QAction* notRepaid = m_gridMenu->addAction(QStringLiteral("当月未还清"));
    notRepaid->setObjectName(QStringLiteral("markNotRepaidAction"));
    QAction* all = m_gridMenu->addAction(QStringLiteral("显示所有"));
    all->setObjectName(QStringLiteral("showAllCardsAction"));
    connect(repaid, &QAction::triggered, this, [this] { markCurrentCard(true); });
    connect(notRepaid, &QAction::triggered, this, [this] { markCurrentCard(false); });
    connect(all, &QAction::triggered, this, &CardPage::showAllCards);
    connect(m_grid->table(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_gridMenu->popup(m_grid->table()->viewport()->mapToGlobal(pos)); });

    addCommandKeys();
}

void CardPage::addCommandKeys()
{
    auto key = [this](const QKeySequence& keys, QWidget* scope, auto action) {
        auto* shortcut = new QShortcut(keys, scope);
        shortcut->setContext(scope == m_grid->table() ? Qt::WidgetShortcut : Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    // Anywhere on the card tab.
    key(QKeySequence(Qt::CTRL | Qt::Key_N), this, &CardPage::newCard);
    key(QKeySequence(Qt::Key_Insert), this, &CardPage::newCard);
    key(QKeySequence(Qt::CTRL | Qt::Key_S), this, [this] { m_cardEditor->commit(true); });
    key(QKeySequence(Qt::Key_Escape), this, [this] {
        if (m_cardEditor->isEditing())
            m_cardEditor->cancel();
    });
    key(QKeySequence(Qt::Key_F5), this, [this] { m_cardEditor->refresh(); });
    // Enter in an edit field saves the card; in the grid, Delete removes the current card (the
    // fields keep Delete for their text).
    for (const int enter : {Qt::Key_Return, Qt::Key_Enter})
        key(QKeySequence(enter), m_cardEditor->fieldsBox(), [this] { m_cardEditor->commit(true); });
    key(QKeySequence(Qt::Key_Delete), m_grid->table(), [this] { m_cardEditor->deleteCard(); });

    // The page's own buttons keep their captions; Alt and the pinyin initial press them.
    m_foldButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_B));
    m_foldButton->setToolTip(QStringLiteral("展开或收起卡片编辑 (Alt+B)"));
    m_exportButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_D));
    m_exportButton->setToolTip(m_exportButton->toolTip() + QStringLiteral(" (Alt+D)"));
}

void CardPage::newCard()
{
    if (m_editorHeight <= 20)
        toggleEditor();
    m_cardEditor->insertCard();
}

QTableView* CardPage::grid() const
{
    return m_grid->table();
}

QIcon CardPage::shippedIcon(const QString& name) const
{
    QPixmap pixmap(m_context.home.shippedFile(name));
    if (pixmap.isNull())
        return {};
    // Glyph convention: the bottom-left pixel's colour is transparent.
    const QColor key = pixmap.toImage().pixelColor(0, pixmap.height() - 1);
    pixmap.setMask(pixmap.createMaskFromColor(key, Qt::MaskInColor));
    return QIcon(pixmap);
}

void CardPage::setEditorHeight(int height)
{
    m_editorHeight = height;
    m_editor->setFixedHeight(height);
    m_editor->setVisible(height > 0);
}

void CardPage::toggleEditor()
{
    if (m_editorHeight > 20) {
        setEditorHeight(0);
        m_foldButton->setIcon(shippedIcon(QStringLiteral("Arrow Right2.bmp")));
    } else {
        m_foldButton->setIcon(shippedIcon(QStringLiteral("Arrow Right3.bmp")));
        setEditorHeight(kEditorOpenHeight);
    }
}

void CardPage::attachData(DataModule& data)
{
    m_data = &data;
    connect(&data, &QObject::destroyed, this, [this] { m_data = nullptr; });
    m_grid->setQuery(data.cards());
    m_cardEditor->setQueries(data.cards(), data.holders());
    m_filterBar->setHolders(data.holders());
    // Whatever lists every card ("显示所有", "所有", the planner), the bar says so.
    connect(&data.cards(), &Query::opened, this, [this] {
        if (m_data && m_data->cards().sql() == DataModule::kAllCardsStatement)
            m_filterBar->showAllCards();
    });
    // Moving the grid (or sorting it) first saves the card being edited.
    m_grid->setBeforeMove([this] { return commitPendingEdit(); });
    // A saved card gets its dates, days left and minimum repayment at once, as the refresh pass
    // computes them, in the save's own transaction. A minimum repayment the user typed is kept
    // (the next refresh pass computes it again).
    m_cardEditor->setSaveStep([this](qint64 id) {
        if (m_data)
            Refresh::recomputeCard(m_data->database(), m_context.clock->today(), id,
                                   m_cardEditor->typedFields().contains(QStringLiteral("i_zdhkje")));
    });
    m_cardEditor->setAfterSave([this](int) { cardSaved(); });
}

bool CardPage::commitPendingEdit()
{
    if (m_cardEditor->commit())
        return true;
    // The refused card must stay in sight with what was typed.
    if (m_editorHeight <= 20)
        toggleEditor();
    return false;
}

void CardPage::showStatement(const QString& statement, bool freeze, const QVariantList& values)
{
    if (!m_data || !commitPendingEdit())
        return;
    Query& cards = m_data->cards();
    std::optional<ControlsSuspended> hold; // released however the reopen ends
    if (freeze)
        hold.emplace(cards);
    ui::showErrors(this, [&] {
        cards.setSql(statement, values);
        cards.open();
    });
}

void CardPage::showAllCards()
{
    if (!m_data || !commitPendingEdit())
        return;
    ui::showErrors(this, [this] { PaidState::showAllCards(*m_data); });
}

void CardPage::showQuickFilter(int index)
{
    const QString statement = CardFilter::quickStatement(index);
    showStatement(statement, /*freeze=*/false);
    if (m_data && m_data->cards().isOpen() && m_data->cards().sql() == statement)
        m_filterBar->showQuickFilter(index);
}

void CardPage::markCurrentCard(bool repaid)
{
    // A card being edited is checked and saved first; a refused one stops the command.
    if (!m_data || !commitPendingEdit())
        return;
    const bool marked = ui::showErrors(this, [&] {
        if (repaid)
            PaidState::markCurrentRepaid(*m_data, *m_context.clock);
        else
            PaidState::markCurrentUnpaid(*m_data);
        recountDueCards(); // as after a save
    });
    if (marked)
        emit paidMarkChanged();
}

void CardPage::cardSaved()
{
    if (!m_data)
        return;
    // The saved row was read back with its new figures; a sorted list puts it in its place.
    Query& cards = m_data->cards();
    if (!cards.sort().isEmpty())
        cards.setSort(cards.sort());
    recountDueCards();
    showBestCard();
}

void CardPage::recountDueCards()
{
    // The counts follow the saved card at once, as the refresh pass would write them.
    const std::array<int, 8> counts = Refresh::countDueCards(m_data->database());
    for (int i = 0; i < 8; ++i)
        m_countLabels[i]->setText(Refresh::countLabelText(i, counts[i]));
}

void CardPage::exportShownCards()
{
    const QString path = CsvExport::askFileName(this);
    if (path.isEmpty())
        return;
    // The tab is shown only when unlocked (or without protection), so here numbers are in full;
    // a page that is not on screen gives the last four.
    const bool fullNumbers = isVisible() || !m_context.settings.passwordProtect();
    if (fullNumbers &&
        !MessageBox::question(this, CsvExport::kUnencryptedNote + QStringLiteral("\n确定导出吗？"),
                              QStringLiteral("导出")))
        return;
    ui::showErrors(this, [&] {
        CsvExport::writeFile(path, CsvExport::encode(CsvExport::tableOf(*m_grid->model(), fullNumbers)));
    });
}

void CardPage::importCards()
{
    if (!m_data || !commitPendingEdit())
        return;
    const QString path = CardImportDialog::askFileName(this);
    if (path.isEmpty())
        return;
    CardImport::Plan plan;
    const bool planned = ui::showErrors(
        this, [&] { plan = CardImport::planBytes(CardImport::readFile(path), m_data->database()); });
    if (!planned)
        return;
    CardImportDialog dialog(plan, path, ui::dialogParent(this));
    if (!CardImportDialog::ask(dialog))
        return;
    ui::showErrors(this, [&] {
        const CardImport::Outcome outcome = CardImport::apply(
            plan, m_data->database(), m_data->secrets(), m_context.clock->today(), dialog.updateStored());
        // The list shows the imported cards with their dates, the counts follow.
        Query& cards = m_data->cards();
        cards.close();
        cards.open();
        recountDueCards();
        showBestCard();
        MessageBox::information(this, QStringLiteral("已导入：新增%1张，更新%2张，跳过%3张。")
                                          .arg(outcome.added)
                                          .arg(outcome.updated)
                                          .arg(outcome.skipped));
    });
}

void CardPage::showBestCard()
{
    if (!m_data)
        return;
    try {
        m_bestCardLabel->setText(bestCardLine(bestCardToday(m_data->database(), *m_context.clock)));
    } catch (const Error&) {
        m_bestCardLabel->clear(); // a hint only; the refresh reports database errors
    }
}

void CardPage::showBestCard(const QList<CardFacts>& cards)
{
    m_bestCardLabel->setText(bestCardLine(bestCardToday(cards, m_context.clock->today())));
}
