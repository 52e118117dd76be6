#pragma once

#include <QMainWindow>

class TWAMainForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TWAMainForm(QWidget *parent = nullptr);

    void FormCreate();
};
