#pragma once

#include <QDialog>

class DataModule;

// "持卡人维护": maintenance of the holder list.
class HolderDialog : public QDialog
{
    Q_OBJECT
public:
    explicit HolderDialog(QWidget* parent = nullptr);
    void attachData(DataModule& data);
};
