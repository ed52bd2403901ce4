#pragma once

#include <QIcon>
#include <QList>
#include <QWidget>

class QToolButton;
class Query;

// A row of record buttons over a Query (first, prior, next, last, insert, delete, edit, save,
// cancel, refresh); the owner decides what each does. Buttons are enabled by the query's state.
class RecordNavigator : public QWidget
{
    Q_OBJECT
public:
    enum class Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };

    RecordNavigator(const QList<Button>& buttons, QWidget* parent = nullptr);

    QToolButton* button(Button which) const;
    void setQuery(Query* query);
    void updateButtons();

    static QString hint(Button which);         // "首条", "上一条", ...
    static QString objectNameOf(Button which); // nbFirst, nbPrior, ...
    static QIcon icon(Button which);           // the theme's icon, or our own drawing
    static QString deleteQuestion();           // asked before a record is deleted

signals:
    void clicked(RecordNavigator::Button which);

private:
    QList<QPair<Button, QToolButton*>> m_buttons;
    Query* m_query = nullptr;
};
