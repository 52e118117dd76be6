#pragma once

#include <QDialog>

class TFormProcess : public QDialog
{
    Q_OBJECT
public:
    explicit TFormProcess(QWidget *parent = nullptr);

    void FormCreate();
};
