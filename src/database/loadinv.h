#pragma once

#include <QDialog>

class TLoadInvForm : public QDialog
{
    Q_OBJECT
public:
    explicit TLoadInvForm(QWidget *parent = nullptr);

    void FormCreate();
};
