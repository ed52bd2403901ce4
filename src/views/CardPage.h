#pragma once

#include <QWidget>

class QLabel;
class QFrame;
class QGroupBox;
class QTableView;
class QToolButton;
class DataModule;

// The card tab: summary panel with the date and due counts, the fold-out editor strip,
// the editor panel (folded at start) and the filter group with the card grid.
class CardPage : public QWidget
{
    Q_OBJECT
public:
    explicit CardPage(QWidget* parent = nullptr);

    // Binds the grid and editor to the card list once the data module exists.
    void attachData(DataModule& data);

    QLabel* dateLabel() const { return m_dateLabel; }               // Label31
    QLabel* countLabel(int i) const { return m_countLabels.at(i); } // Label32 + i, i in 0..7
    QFrame* summaryPanel() const { return m_summary; }              // Panel1
    QFrame* editorPanel() const { return m_editor; }                // Panel2
    QFrame* filterBar() const { return m_filterBar; }               // Panel4
    QTableView* grid() const { return m_grid; }                     // DBGridEh1

    static const QStringList kCountPrefixes; // "1天内需还:" ... "3天内共需还:"

    void setEditorHeight(int height);

private:
    QFrame* m_summary = nullptr;
    QLabel* m_dateLabel = nullptr;
    QList<QLabel*> m_countLabels;
    QFrame* m_foldStrip = nullptr;
    QToolButton* m_foldButton = nullptr;
    QFrame* m_editor = nullptr;
    QGroupBox* m_filterGroup = nullptr;
    QFrame* m_filterBar = nullptr;
    QTableView* m_grid = nullptr;
};
