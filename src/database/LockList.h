#pragma once

#include <QDialog>

class TLockedListForm : public QDialog
{
    Q_OBJECT
public:
    explicit TLockedListForm(QWidget *parent = nullptr);

    void FormCreate();
};
