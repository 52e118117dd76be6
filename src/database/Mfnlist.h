#pragma once

#include <QDialog>

class TMFNListForm : public QDialog
{
    Q_OBJECT
public:
    explicit TMFNListForm(QWidget *parent = nullptr);

    void FormCreate();
};
