#pragma once

#include <QDialog>

class DataModule;
class QLineEdit;
class QTableView;
class Query;
class QueryViewBinder;
class RecordNavigator;

// "持卡人维护": maintenance of the holder list, shown without blocking the main window.
// Its edit field and its grid both edit the current holder; saved changes reach both holder
// boxes of the card tab at once.
class HolderDialog : public QDialog
{
    Q_OBJECT
public:
    explicit HolderDialog(QWidget* parent = nullptr);
    void attachData(DataModule& data);

    // Shows the dialog, or brings it to the front when it is open already.
    void showOrRaise();

    RecordNavigator* navigator() const { return m_navigator; }
    QLineEdit* nameEdit() const { return m_nameEdit; }
    QTableView* grid() const { return m_grid; }

protected:
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Saves the holder being edited or added; an empty name is refused with a message (false).
    // `explicitSave` is the save button: a new empty row is then refused too, while a move or
    // another button simply drops it.
    bool commitPending(bool explicitSave);
    void populate();
    void run(void (*action)(Query&));

    Query* m_holders = nullptr;
    RecordNavigator* m_navigator = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QTableView* m_grid = nullptr;
    QueryViewBinder* m_binder = nullptr;
    bool m_updating = false;
};
