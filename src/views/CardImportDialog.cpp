#include "views/CardImportDialog.h"

#include "ui/DialogParent.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
std::function<void(CardImportDialog&)> g_hook;
std::function<QString()> g_fileNameHook;

QListWidget* section(QVBoxLayout* layout, const QString& title, const QString& name, const QStringList& lines,
                     QWidget* parent)
{
    auto* group = new QGroupBox(QStringLiteral("%1（%2）").arg(title).arg(lines.size()), parent);
    group->setObjectName(name + QStringLiteral("Group"));
    auto* groupLayout = new QVBoxLayout(group);
    auto* list = new QListWidget(group);
    list->setObjectName(name + QStringLiteral("List"));
    list->setAccessibleName(title);
    list->addItems(lines);
    groupLayout->addWidget(list);
    layout->addWidget(group);
    group->setVisible(!lines.isEmpty());
    return list;
}
} // namespace

CardImportDialog::CardImportDialog(const CardImport::Plan& plan, const QString& file, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("cardImportDialog"));
    setWindowTitle(QStringLiteral("导入信用卡"));
    setAccessibleName(QStringLiteral("导入信用卡"));
    resize(560, 480);
    auto* layout = new QVBoxLayout(this);

    auto* summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("importSummaryLabel"));
    summary->setWordWrap(true);
    QString text = QStringLiteral("文件：%1\n新增%2张，已有%3张，拒绝%4行。")
                       .arg(file)
                       .arg(plan.additions.size())
                       .arg(plan.updates.size())
                       .arg(plan.refusals.size());
    if (!plan.unusedColumns.isEmpty())
        text += QStringLiteral("\n未使用的列：") + plan.unusedColumns.join(QStringLiteral("、"));
    if (!plan.refusals.isEmpty())
        text += QStringLiteral("\n有被拒绝的行时不导入任何卡片：请在表格中改正后再导入。");
    summary->setText(text);
    summary->setAccessibleName(text);
    layout->addWidget(summary);

    QStringList additions, updates, refusals;
    for (const CardImport::PlannedCard& card : plan.additions)
        additions << card.text();
    for (const CardImport::PlannedCard& card : plan.updates)
        updates << card.text();
    for (const CardImport::Refusal& refusal : plan.refusals)
        refusals << refusal.text();
    m_additions = section(layout, QStringLiteral("新增"), QStringLiteral("importAdditions"), additions, this);
    m_updates = section(layout, QStringLiteral("更新"), QStringLiteral("importUpdates"), updates, this);
    m_refusals = section(layout, QStringLiteral("拒绝"), QStringLiteral("importRefusals"), refusals, this);

    m_updateStored = new QCheckBox(QStringLiteral("更新已有的卡片（不勾选则跳过）"), this);
    m_updateStored->setObjectName(QStringLiteral("importUpdateStoredCheck"));
    m_updateStored->setAccessibleName(QStringLiteral("更新已有的卡片"));
    m_updateStored->setChecked(true);
    m_updateStored->setVisible(!plan.updates.isEmpty());
    layout->addWidget(m_updateStored);

    auto* buttons = new QDialogButtonBox(this);
    m_import = buttons->addButton(QStringLiteral("导入"), QDialogButtonBox::AcceptRole);
    m_import->setObjectName(QStringLiteral("importConfirmButton"));
    m_import->setAccessibleName(QStringLiteral("导入"));
    m_import->setEnabled(plan.canApply());
    QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("importCancelButton"));
    cancel->setAccessibleName(QStringLiteral("取消"));
    (plan.canApply() ? m_import : cancel)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

bool CardImportDialog::updateStored() const
{
    return m_updateStored->isChecked();
}

bool CardImportDialog::ask(CardImportDialog& dialog)
{
    if (g_hook) {
        g_hook(dialog);
        return dialog.result() == QDialog::Accepted;
    }
    return dialog.exec() == QDialog::Accepted;
}

void CardImportDialog::setHook(std::function<void(CardImportDialog&)> hook)
{
    g_hook = std::move(hook);
}

QString CardImportDialog::askFileName(QWidget* parent)
{
    if (g_fileNameHook)
        return g_fileNameHook();
    return QFileDialog::getOpenFileName(ui::dialogParent(parent), QStringLiteral("导入信用卡列表"), QString(),
                                        QStringLiteral("CSV 文件 (*.csv);;所有文件 (*)"));
}

void CardImportDialog::setFileNameHook(std::function<QString()> hook)
{
    g_fileNameHook = std::move(hook);
}
