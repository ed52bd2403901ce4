#include "views/HolderDialog.h"

#include "store/DataModule.h"

HolderDialog::HolderDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("持卡人维护"));
    setFixedSize(505, 364);
}

void HolderDialog::attachData(DataModule&) {}
