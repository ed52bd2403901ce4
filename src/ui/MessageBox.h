#pragma once

#include <QMessageBox>
#include <QString>
#include <optional>

class QWidget;

// The program's message boxes: caption "Velmora" unless given, Chinese standard buttons.
// Tests queue answers with setNextAnswer(); a queued answer is taken instead of showing
// the box, and every text that would have been shown is recorded.
namespace MessageBox {

void information(QWidget* parent, const QString& text, const QString& title = {});
void error(QWidget* parent, const QString& text, const QString& title = {});
// Yes/No with the question icon; true for Yes.
bool question(QWidget* parent, const QString& text, const QString& title);

// A masked entry under `text`; empty when cancelled.
std::optional<QString> askPassword(QWidget* parent, const QString& text);

// -- test support
void setNextAnswer(QMessageBox::StandardButton answer);
void setNextPasswordAnswer(const std::optional<QString>& typed); // nullopt: cancelled
QStringList shownTexts(); // texts of boxes shown (or answered by the hook) since the last clear
void clearShownTexts();
void setSuppressAll(bool on); // answer every box with OK/No without showing it

} // namespace MessageBox
