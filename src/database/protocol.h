#pragma once

#include <QDialog>

class TFormProtocol : public QDialog
{
    Q_OBJECT
public:
    explicit TFormProtocol(QWidget *parent = nullptr);

    void FormCreate();
};
