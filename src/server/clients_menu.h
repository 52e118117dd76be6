#pragma once

#include <QDialog>

class TOpenDbMenu : public QDialog
{
    Q_OBJECT
public:
    explicit TOpenDbMenu(QWidget *parent = nullptr);

    void FormCreate();
};
