#pragma once

#include <QDialog>

class TFormRegClients : public QDialog
{
    Q_OBJECT
public:
    explicit TFormRegClients(QWidget *parent = nullptr);

    void FormCreate();
};
