#pragma once

#include <QIcon>
#include <QWidget>
#include <functional>

struct AppContext;
class CardEditor;
class CardGrid;
class DataModule;
struct CardFacts;
class FilterBar;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QTableView;
class QToolButton;

// The card tab: summary panel with the date, due counts and quick filters; the fold-out card
// editor; the filter group with the filter bar and the card grid.
class CardPage : public QWidget
{
    Q_OBJECT
public:
    explicit CardPage(const AppContext& context, QWidget* parent = nullptr);

    // Binds the grid, the editor and the holder boxes once the data module exists.
    void attachData(DataModule& data);

    QLabel* dateLabel() const { return m_dateLabel; }
    QLabel* countLabel(int i) const { return m_countLabels.at(i); } // i in 0..7
    QLabel* bestCardLabel() const { return m_bestCardLabel; }       // under the date
    QTableView* grid() const;
    CardGrid* cardGrid() const { return m_grid; }
    CardEditor* editor() const { return m_cardEditor; }
    QMenu* gridMenu() const { return m_gridMenu; }

    // Object names of count label i and of the quick button over it (i in 0..7).
    static QString countLabelName(int i);
    static QString countButtonName(int i);

    static constexpr int kEditorOpenHeight = 168;

    void setEditorHeight(int height);
    int editorHeight() const { return m_editorHeight; }
    void toggleEditor(); // the fold button
    void newCard();      // Ctrl+N / Insert: the editor unfolds on a new card

    // Hands a card being edited (or inserted) to the editor's save, with its checks. False when
    // the card is refused: the message was shown, the card stays in edit mode with what was typed
    // and the caller must not reload or move the card list. Every action that does so asks this
    // first.
    bool commitPendingEdit();

    // Replaces the card list's statement and reopens it; `freeze` brackets it with suspended views.
    // A refused pending edit leaves the list as it is.
    void showStatement(const QString& statement, bool freeze, const QVariantList& values = {});

    // Paid-state commands of the grid's menu, on the current card. The counts follow at once.
    void markCurrentCard(bool repaid);
    void showAllCards();
    void showQuickFilter(int index); // the quick due button over count label `index` (0..7)

    // "今日推荐刷卡：..." under the date, from the stored cards and today.
    void showBestCard();
    // The same from cards already read (those of a refresh pass).
    void showBestCard(const QList<CardFacts>& cards);

    // "导出…": the cards the grid lists, as a CSV file the user chooses.
    void exportShownCards();
    // "导入…": cards from a CSV file, listed for the user to confirm before anything is written.
    void importCards();

    // The eight due counts from the stored cards, as the refresh pass writes them.
    void recountDueCards();

signals:
    void reminderRequested();     // "3天还款信息"
    void holderDialogRequested(); // the editor's holder button
    void paidMarkChanged();       // "当月已还清"/"当月未还清" marked a card; the counts are renewed

private:
    void addCommandKeys();
    void cardSaved();
    QIcon shippedIcon(const QString& name) const;

    const AppContext& m_context;
    DataModule* m_data = nullptr;
    QFrame* m_summary = nullptr;
    QLabel* m_dateLabel = nullptr;
    QLabel* m_bestCardLabel = nullptr;
    QList<QLabel*> m_countLabels;
    QFrame* m_foldStrip = nullptr;
    QToolButton* m_foldButton = nullptr;
    QFrame* m_editor = nullptr;
    int m_editorHeight = 0;
    CardEditor* m_cardEditor = nullptr;
    QGroupBox* m_filterGroup = nullptr;
    FilterBar* m_filterBar = nullptr;
    QToolButton* m_exportButton = nullptr;
    QToolButton* m_importButton = nullptr;
    CardGrid* m_grid = nullptr;
    QMenu* m_gridMenu = nullptr;
};
