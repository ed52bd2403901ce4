#include "views/CardPage.h"

#include "store/DataModule.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

const QStringList CardPage::kCountPrefixes = {QStringLiteral("1天内需还:"),  QStringLiteral("2天内需还:"),
                                              QStringLiteral("3天内需还:"),  QStringLiteral("7天内需还:"),
                                              QStringLiteral("10天内需还:"), QStringLiteral("15天内需还:"),
                                              QStringLiteral("已经过期:"),   QStringLiteral("3天内共需还:")};

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
    label->setStyleSheet(QStringLiteral("color: red;"));
    return label;
}
} // namespace

CardPage::CardPage(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Summary panel: the date on the left, the eight counts in four columns of two rows.
    m_summary = new QFrame(this);
    m_summary->setObjectName(QStringLiteral("Panel1"));
    m_summary->setFixedHeight(80);
    m_summary->setFrameShape(QFrame::StyledPanel);
    auto* summaryLayout = new QHBoxLayout(m_summary);
    m_dateLabel = redLabel(QStringLiteral("Label31"), 27, m_summary);
    summaryLayout->addWidget(m_dateLabel);
    summaryLayout->addStretch(1);
    auto* counts = new QGridLayout;
    counts->setHorizontalSpacing(18);
    for (int i = 0; i < 8; ++i) {
        QLabel* label = redLabel(QStringLiteral("Label%1").arg(32 + i), 16, m_summary);
        label->setText(kCountPrefixes[i]);
        label->setMinimumWidth(i == 7 ? 171 : 131);
        m_countLabels << label;
        counts->addWidget(label, i % 2, i / 2);
    }
    summaryLayout->addLayout(counts);
    layout->addWidget(m_summary);

    // Fold strip with the full-width editor toggle.
    m_foldStrip = new QFrame(this);
    m_foldStrip->setObjectName(QStringLiteral("Panel3"));
    m_foldStrip->setFixedHeight(20);
    auto* stripLayout = new QHBoxLayout(m_foldStrip);
    stripLayout->setContentsMargins(1, 1, 1, 1);
    m_foldButton = new QToolButton(m_foldStrip);
    m_foldButton->setObjectName(QStringLiteral("SpeedButton1"));
    m_foldButton->setAutoRaise(true);
    m_foldButton->setFixedHeight(18);
    m_foldButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_foldButton->setCursor(Qt::PointingHandCursor);
    stripLayout->addWidget(m_foldButton);
    layout->addWidget(m_foldStrip);

    // Editor panel, folded at start.
    m_editor = new QFrame(this);
    m_editor->setObjectName(QStringLiteral("Panel2"));
    layout->addWidget(m_editor);
    setEditorHeight(0);

    // Filter group: filter bar above the grid.
    m_filterGroup = new QGroupBox(QStringLiteral("筛选条件"), this);
    m_filterGroup->setObjectName(QStringLiteral("GroupBox1"));
    auto* groupLayout = new QVBoxLayout(m_filterGroup);
    m_filterBar = new QFrame(m_filterGroup);
    m_filterBar->setObjectName(QStringLiteral("Panel4"));
    m_filterBar->setFixedHeight(31);
    groupLayout->addWidget(m_filterBar);
    m_grid = new QTableView(m_filterGroup);
    m_grid->setObjectName(QStringLiteral("DBGridEh1"));
    groupLayout->addWidget(m_grid, 1);
    layout->addWidget(m_filterGroup, 1);
}

void CardPage::setEditorHeight(int height)
{
    m_editor->setFixedHeight(height);
    m_editor->setVisible(height > 0);
}

void CardPage::attachData(DataModule& data)
{
    m_grid->setModel(&data.cards());
}
