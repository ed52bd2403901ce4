#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>
#include <functional>

class HolderListModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;
class Query;
class RecordNavigator;

// The card editor: the record navigator over the edit fields of the current card.
// Typing starts editing; the typed texts stay in the fields until the card is saved, so a value
// the checks refuse is never lost. Saving (or moving to another card) checks and writes the card.
class CardEditor : public QWidget
{
    Q_OBJECT
public:
    explicit CardEditor(QWidget* parent = nullptr);

    void setQueries(Query& cards, Query& holders);

    // Run with the id of the card being saved once it is written, in the save's transaction (the
    // card's dates and days are computed there): when it throws, the save is undone and the card
    // stays in edit with what was typed.
    void setSaveStep(std::function<void(qint64 id)> step) { m_saveStep = std::move(step); }
    // Called with the id of a card just saved.
    void setAfterSave(std::function<void(int id)> afterSave) { m_afterSave = std::move(afterSave); }

    // Saves the card being edited. `explicitSave` is the save button: a new card nothing was
    // typed into is then checked too, while a move simply drops it. False when refused.
    bool commit(bool explicitSave = false);

    // During the save step: the fields the save writes a typed (not empty) text into.
    const QStringList& typedFields() const { return m_typedFields; }

    bool isDirty() const { return m_dirty; }
    bool isEditing() const; // typed into, or a card being edited or added
    QWidget* fieldsBox() const { return m_fieldsBox; }
    RecordNavigator* navigator() const { return m_navigator; }
    QLineEdit* fieldEdit(const QString& field) const;
    QLabel* ratioMeaning() const { return m_ratioMeaning; } // "= 10%" beside the ratio

    // Navigator actions (also used by tests).
    void first();
    void prior();
    void next();
    void last();
    void insertCard();
    void deleteCard();
    void editCard();
    void cancel();
    void refresh();

signals:
    void holderDialogRequested();

private:
    struct Field
    {
        QString field;
        QLineEdit* edit;
    };
    void populate();
    void showHolder();
    void beginTyping();
    template <typename Move> void moveBy(Move move);

    Query* m_cards = nullptr;
    Query* m_holders = nullptr;
    RecordNavigator* m_navigator = nullptr;
    QWidget* m_fieldsBox = nullptr;
    QList<Field> m_fields;
    QComboBox* m_holderBox = nullptr;
    HolderListModel* m_holderModel = nullptr;
    QToolButton* m_holderButton = nullptr;
    QLabel* m_ratioMeaning = nullptr;
    std::function<void(qint64)> m_saveStep;
    std::function<void(int)> m_afterSave;
    bool m_dirty = false;        // the fields hold typed texts not yet saved
    bool m_holderChosen = false; // a holder was chosen in the box since the last save
    bool m_loading = false;
    QString m_chosenHolder;
    QStringList m_typedFields;
};
