#pragma once

#include <QWidget>

struct AppContext;

// The settings tab: password, autostart and protection, auto-minimize, reminder e-mail.
class SettingsPage : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsPage(AppContext& context, QWidget* parent = nullptr);

private:
    AppContext& m_context;
};
