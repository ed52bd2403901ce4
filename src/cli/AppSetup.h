#pragma once

class QCoreApplication;

// Names and translations for every run of the program, with or without windows.
// No display name is set: the window system would append it to every caption
// ("登录 — Velmora"). Qt's own Chinese translations make the platform's texts (standard
// buttons, input checks, context menus of edit fields) Chinese like ours.
void setUpApplication(QCoreApplication& app);
