#pragma once

#include "remind/MailServerSettings.h"

#include <QDialog>

class IniFile;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// "邮件服务器": the mailbox the reminder mail is sent from (section "邮件服务器" of System.ini;
// the password in the desktop's keyring when one runs).
class MailServerDialog : public QDialog
{
    Q_OBJECT
public:
    MailServerDialog(IniFile& file, QWidget* parent = nullptr);

    MailServerSettings values() const; // what the fields hold

public slots:
    void save(); // checks, writes, closes; a problem is shown and the dialog stays

private:
    void showValues(const MailServerSettings& s);
    void chooseCaFile();

    IniFile& m_file;
    QLineEdit* m_host = nullptr;
    QSpinBox* m_port = nullptr;
    QComboBox* m_security = nullptr;
    QLabel* m_securityHint = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLabel* m_passwordPlace = nullptr; // where the password is kept
    bool m_keyringUnread = false;      // the keyring could not be read: an empty field says nothing
    QLineEdit* m_from = nullptr;
    QLineEdit* m_caFile = nullptr;
};
