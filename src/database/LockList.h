#pragma once

#include <QDialog>

class QFrame;
class QPushButton;
class TStringGrid;

// Picker of the locked records to unlock.
class TLockedListForm : public QDialog
{
    Q_OBJECT
public:
    explicit TLockedListForm(QWidget *parent = nullptr);

    void FormCreate();
    void MfnStringGridDrawCell(QPainter *painter, int col, int row, const QRect &rect);

    TStringGrid *MfnStringGrid;
    QFrame *Panel1;
    QPushButton *RunBitBtn;
    QPushButton *SelectAllBitBtn;
    QPushButton *CancelBitBtn;
};
