#pragma once

#include <QDialog>

class TMFNForm : public QDialog
{
    Q_OBJECT
public:
    explicit TMFNForm(QWidget *parent = nullptr);

    void FormCreate();
};
