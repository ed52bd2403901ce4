#include "planner/PlannerEntry.h"

#include <QTabWidget>

PlannerEntry::PlannerEntry(QTabWidget* pages, QWidget* journal, QWidget* parameters)
    : QObject(pages), m_pages(pages), m_journal(journal), m_parameters(parameters)
{
    connect(m_pages, &QTabWidget::currentChanged, this, [this] {
        QWidget* current = m_pages->currentWidget();
        if (!m_changing && current != m_journal && current != m_parameters)
            close();
    });
}

QString PlannerEntry::journalCaption()
{
    return QStringLiteral("现金流规划");
}

QString PlannerEntry::parametersCaption()
{
    return QStringLiteral("规划参数");
}

void PlannerEntry::open()
{
    m_changing = true;
    if (m_pages->indexOf(m_journal) < 0)
        m_pages->insertTab(0, m_journal, journalCaption());
    if (m_pages->indexOf(m_parameters) < 0)
        m_pages->insertTab(m_pages->count() - 1, m_parameters, parametersCaption());
    m_changing = false;
    m_pages->setCurrentWidget(m_journal);
}

void PlannerEntry::close()
{
    m_changing = true;
    for (QWidget* page : {m_journal, m_parameters}) {
        if (const int index = m_pages->indexOf(page); index >= 0) {
            m_pages->removeTab(index);
            page->hide();
        }
    }
    m_changing = false;
}
