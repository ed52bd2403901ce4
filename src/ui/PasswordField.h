#pragma once

class QLineEdit;

// A password entry that shows "*" for every character typed, whatever the widget style's own
// mask character is (a bullet in most).
void makePasswordField(QLineEdit* edit);
