#pragma once

#include <QDialog>

class TFormClientsEdit : public QDialog
{
    Q_OBJECT
public:
    explicit TFormClientsEdit(QWidget *parent = nullptr);

    void FormCreate();
};
