#include "planner/JournalPage.h"

#include "planner/CashFlowPlan.h"
#include "planner/ParameterPage.h"
#include "store/DataModule.h"
#include "store/Error.h"
#include "ui/AppContext.h"
#include "ui/Contrast.h"
#include "ui/MessageBox.h"
#include "ui/ShowErrors.h"
#include "views/FieldColumnsModel.h"
#include "views/QueryViewBinder.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

struct GridColumn
{
    QString field;
    QString title;
    int width; // 0: the grid's default
};

// The planner's grids only show what a run wrote: no cell can be edited or ticked.
class ReadOnlyColumns : public FieldColumnsModel
{
public:
    using FieldColumnsModel::FieldColumnsModel;

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return FieldColumnsModel::flags(index) & ~(Qt::ItemIsEditable | Qt::ItemIsUserCheckable);
    }
    bool setData(const QModelIndex&, const QVariant&, int) override { return false; }
};

QTableView* makeGrid(const QString& name, QWidget* parent)
{
    auto* grid = new QTableView(parent);
    grid->setObjectName(name);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setFrameShape(QFrame::NoFrame);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    return grid;
}

void bindGrid(QTableView* grid, Query& query, const QList<GridColumn>& columns)
{
    QList<FieldColumnsModel::Column> shown;
    for (const GridColumn& column : columns)
        shown.append({column.field, column.title});
    auto* model = new ReadOnlyColumns(shown, grid);
    model->setSourceModel(&query);
    grid->setModel(model);
    new QueryViewBinder(grid, query, grid);
    // The header forgets the widths whenever the data set is reopened.
    const auto applyWidths = [grid, columns] {
        QHeaderView* header = grid->horizontalHeader();
        for (int i = 0; i < columns.size() && i < header->count(); ++i)
            header->resizeSection(i, columns[i].width > 0 ? columns[i].width : header->defaultSectionSize());
    };
    QObject::connect(model, &QAbstractItemModel::modelReset, grid, applyWidths);
    applyWidths();
}

QLabel* label(const QString& name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QComboBox* comboBox(const QString& name, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setMinimumWidth(60);
    return box;
}

} // namespace

JournalPage::JournalPage(AppContext& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("cashFlowJournalPage"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Parameter panel. Only the button does something; the other controls are placeholders.
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("pp"));
    panel->setFixedHeight(89);
    panel->setFrameShape(QFrame::StyledPanel);
    auto* panelLayout = new QVBoxLayout(panel);
    auto* firstLine = new QHBoxLayout;
    auto* cardBox = comboBox(QStringLiteral("plannerCardBox"), panel);
    cardBox->setEditable(true);
    cardBox->setEditText(QStringLiteral("ComboBox1"));
    cardBox->setMinimumWidth(145);
    firstLine->addWidget(label(QStringLiteral("plannerCardLabel"), QStringLiteral("信用卡"), panel));
    firstLine->addWidget(cardBox);
    firstLine->addWidget(label(QStringLiteral("yearLabel"), QStringLiteral("年"), panel));
    firstLine->addWidget(comboBox(QStringLiteral("yearBox"), panel));
    firstLine->addWidget(label(QStringLiteral("monthLabel"), QStringLiteral("月"), panel));
    firstLine->addWidget(comboBox(QStringLiteral("monthBox"), panel));
    firstLine->addWidget(label(QStringLiteral("dayLabel"), QStringLiteral("日"), panel));
    firstLine->addWidget(comboBox(QStringLiteral("dayBox"), panel));
    m_run = new QPushButton(QStringLiteral("计算"), panel);
    m_run->setObjectName(QStringLiteral("runSimulationButton"));
    firstLine->addWidget(m_run);
    firstLine->addStretch(1);
    panelLayout->addLayout(firstLine);

    auto* secondLine = new QHBoxLayout;
    const QStringList kinds = {QStringLiteral("所有"), QStringLiteral("提现"), QStringLiteral("还款"),
                               QStringLiteral("贷款")};
    const QStringList kindNames = {QStringLiteral("allEntriesChoice"), QStringLiteral("withdrawalsChoice"),
                                   QStringLiteral("repaymentsChoice"), QStringLiteral("loansChoice")};
    for (int i = 0; i < kinds.size(); ++i) {
        auto* radio = new QRadioButton(kinds[i], panel);
        radio->setObjectName(kindNames[i]);
        secondLine->addWidget(radio);
    }
    secondLine->addSpacing(40);
    QLabel* owing = label(QStringLiteral("owingCardsLabel"), QStringLiteral("本月共欠X张信用卡"), panel);
    Contrast::setTextHue(owing, Qt::red);
    secondLine->addWidget(owing);
    secondLine->addStretch(1);
    panelLayout->addLayout(secondLine);
    layout->addWidget(panel);

    auto* journalGroup = new QGroupBox(QStringLiteral("流水帐"), this);
    journalGroup->setObjectName(QStringLiteral("journalGroup"));
    auto* journalLayout = new QVBoxLayout(journalGroup);
    m_journalGrid = makeGrid(QStringLiteral("journalGrid"), journalGroup);
    journalLayout->addWidget(m_journalGrid);
    layout->addWidget(journalGroup, 1);

    auto* planGroup = new QGroupBox(QStringLiteral("信用卡状态"), this);
    planGroup->setObjectName(QStringLiteral("planGroup"));
    planGroup->setFixedHeight(236);
    auto* planLayout = new QVBoxLayout(planGroup);
    m_planGrid = makeGrid(QStringLiteral("planGrid"), planGroup);
    planLayout->addWidget(m_planGrid);
    layout->addWidget(planGroup);

    connect(m_run, &QPushButton::clicked, this, &JournalPage::runSimulation);
}

void JournalPage::attachData(DataModule& data, ParameterPage& parameters)
{
    m_data = &data;
    m_parameters = &parameters;
    bindGrid(m_journalGrid, data.journal(),
             {{QStringLiteral("d_post_date"), QStringLiteral("日期"), 110},
              {QStringLiteral("c_name_tx"), QStringLiteral("提现卡"), 144},
              {QStringLiteral("c_name_hk"), QStringLiteral("还款卡"), 129},
              {QStringLiteral("i_ed"), QStringLiteral(" 金额"), 85},
              {QStringLiteral("TF"), QStringLiteral("提款/还款/还贷"), 99},
              {QStringLiteral("i_tx_num"), QStringLiteral("提现数"), 70},
              {QStringLiteral("i_hk_num"), QStringLiteral("还款数"), 71}});
    bindGrid(m_planGrid, data.planRows(),
             {{QStringLiteral("c_name"), QStringLiteral("卡名"), 133},
              {QStringLiteral("c_post_date"), QStringLiteral("提现日期"), 0},
              {QStringLiteral("c_re_date"), QStringLiteral("还款日期"), 0},
              {QStringLiteral("i_ed"), QStringLiteral("总额度"), 71},
              {QStringLiteral("i_yyed"), QStringLiteral("已用额度"), 0},
              {QStringLiteral("i_mxr"), QStringLiteral("免息天数"), 92},
              {QStringLiteral("i_sum_ed"), QStringLiteral("累计提现金额"), 84},
              {QStringLiteral("i_tx_num"), QStringLiteral("提现次数"), 0},
              {QStringLiteral("tf_tx"), QStringLiteral("是否提现"), 70}});
}

void JournalPage::runSimulation()
{
    ui::showErrors(this, [this] {
        if (!m_data || !m_parameters || !m_data->database().isOpen())
            throw Error(QStringLiteral("数据库未打开，无法计算。"));
        if (m_beforeCardListChange && !m_beforeCardListChange())
            return;
        const CashFlow::Parameters parameters = m_parameters->parameters();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            const CashFlow::Result result = CashFlow::run(*m_data, parameters);
            QApplication::restoreOverrideCursor();
            m_parameters->showResult(result);
        } catch (...) {
            QApplication::restoreOverrideCursor();
            throw;
        }
    });
}
