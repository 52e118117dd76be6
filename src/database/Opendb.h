#pragma once

#include <QDialog>

class TOpenDbForm : public QDialog
{
    Q_OBJECT
public:
    explicit TOpenDbForm(QWidget *parent = nullptr);

    void FormCreate();
};
