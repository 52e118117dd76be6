#pragma once

#include <QDialog>

class TFormCLient : public QDialog
{
    Q_OBJECT
public:
    explicit TFormCLient(QWidget *parent = nullptr);

    void FormCreate();
};
