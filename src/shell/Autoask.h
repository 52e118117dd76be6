#pragma once

#include <QDialog>

class TAutoaskForm : public QDialog
{
    Q_OBJECT
public:
    explicit TAutoaskForm(QWidget *parent = nullptr);

    void FormCreate();
};
