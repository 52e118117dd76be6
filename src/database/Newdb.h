#pragma once

#include <QDialog>

class TNewDBForm : public QDialog
{
    Q_OBJECT
public:
    explicit TNewDBForm(QWidget *parent = nullptr);

    void FormCreate();
};
