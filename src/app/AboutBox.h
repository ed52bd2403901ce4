#pragma once

class HomeFolder;
class QWidget;

// The tray menu's "关于软件" and "使用帮助": windows that open without blocking.
namespace AboutBox {

// Version, licence, home folder and database path.
QWidget* showAbout(QWidget* parent, const HomeFolder& home);
// The help page shipped with the program.
QWidget* showHelp(QWidget* parent);

} // namespace AboutBox
