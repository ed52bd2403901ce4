#pragma once

#include "transfer/CardImport.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QListWidget;
class QPushButton;

// What an import would do, shown before anything is written: the cards to add, those already
// stored that it would update, and the rows refused with the reason. "导入" stays disabled while
// any row is refused: the file is put right first, then imported as a whole.
class CardImportDialog : public QDialog
{
    Q_OBJECT
public:
    CardImportDialog(const CardImport::Plan& plan, const QString& file, QWidget* parent = nullptr);

    bool updateStored() const; // "更新已有的卡片" is ticked
    QListWidget* additionList() const { return m_additions; }
    QListWidget* updateList() const { return m_updates; }
    QListWidget* refusalList() const { return m_refusals; }
    QPushButton* importButton() const { return m_import; }

    // Shows the dialog over `parent`; true when "导入" was pressed. A hook set by a test is
    // handed the dialog instead of showing it, and presses its buttons itself.
    static bool ask(CardImportDialog& dialog);
    static void setHook(std::function<void(CardImportDialog&)> hook); // nullptr: shown again

    // Asks which file to import (a file dialog); tests replace it. Empty when cancelled.
    static QString askFileName(QWidget* parent);
    static void setFileNameHook(std::function<QString()> hook); // nullptr: the dialog again

private:
    QListWidget* m_additions = nullptr;
    QListWidget* m_updates = nullptr;
    QListWidget* m_refusals = nullptr;
    QCheckBox* m_updateStored = nullptr;
    QPushButton* m_import = nullptr;
};
