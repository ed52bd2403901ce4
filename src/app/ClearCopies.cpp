#include "app/ClearCopies.h"

#include "store/Backup.h"
#include "ui/MessageBox.h"

#include <QString>

void offerToRemoveClearCopies(QWidget* parent, const QString& databasePath)
{
    const QString folder = Backup::folderFor(databasePath);
    const QStringList clear = Backup::copiesWithClearSecrets(folder);
    if (clear.isEmpty())
        return;
    if (!MessageBox::question(
            parent,
            QStringLiteral("%1个数据库备份是在开启密码保护之前做的，其中的卡号、校验码和有效期"
                           "仍是明文，任何拿到这些文件的人都能看到。\n"
                           "是否删除这些备份？（以后的备份都是加密的。）")
                .arg(clear.size()),
            QStringLiteral("删除明文备份")))
        return;
    const QStringList left = Backup::removeCopies(folder, clear);
    if (!left.isEmpty())
        MessageBox::error(parent, QStringLiteral("以下备份无法删除，请手动删除：\n") + left.join(u'\n'));
}
