#pragma once

#include <QDialog>

class TFormConnect : public QDialog
{
    Q_OBJECT
public:
    explicit TFormConnect(QWidget *parent = nullptr);

    void FormCreate();
};
