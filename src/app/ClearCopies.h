#pragma once

class QWidget;
class QString;

// Once the card secrets are sealed, the database copies made before still hold them in clear:
// the user is asked whether to remove those copies.
void offerToRemoveClearCopies(QWidget* parent, const QString& databasePath);
