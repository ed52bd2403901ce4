#include "ui/MessageBox.h"

#include "ui/DialogParent.h"
#include "ui/PasswordField.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QList>

namespace MessageBox {

namespace {
QList<QMessageBox::StandardButton> g_answers;
QList<std::optional<QString>> g_passwords;
QStringList g_shown;
bool g_suppress = false;

QMessageBox::StandardButton showBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                    const QString& text, QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton fallback)
{
    g_shown << text;
    if (!g_answers.isEmpty())
        return g_answers.takeFirst();
    if (g_suppress)
        return fallback;
    QMessageBox box(icon, title.isEmpty() ? QApplication::applicationName() : title, text, buttons,
                    ui::dialogParent(parent));
    box.setTextFormat(Qt::PlainText); // texts may carry card names and typed values
    return QMessageBox::StandardButton(box.exec());
}
} // namespace

void information(QWidget* parent, const QString& text, const QString& title)
{
    showBox(parent, QMessageBox::NoIcon, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

void error(QWidget* parent, const QString& text, const QString& title)
{
    showBox(parent, QMessageBox::NoIcon, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool question(QWidget* parent, const QString& text, const QString& title)
{
    return showBox(parent, QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                   QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> askPassword(QWidget* parent, const QString& text)
{
    g_shown << text;
    if (!g_passwords.isEmpty())
        return g_passwords.takeFirst();
    if (g_suppress)
        return std::nullopt;
    QInputDialog dialog(ui::dialogParent(parent));
    dialog.setWindowTitle(QApplication::applicationName());
    dialog.setLabelText(text);
    dialog.setTextEchoMode(QLineEdit::Password);
    if (auto* edit = dialog.findChild<QLineEdit*>())
        makePasswordField(edit);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void setNextPasswordAnswer(const std::optional<QString>& typed)
{
    g_passwords << typed;
}

void setNextAnswer(QMessageBox::StandardButton answer)
{
    g_answers << answer;
}

QStringList shownTexts()
{
    return g_shown;
}

void clearShownTexts()
{
    g_shown.clear();
}

void setSuppressAll(bool on)
{
    g_suppress = on;
}

} // namespace MessageBox
