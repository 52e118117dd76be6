#pragma once

#include <QDialog>

class QFrame;
class QPushButton;
class TStringGrid;

// Read-only list of MFNs of the current database (deleted, unactualized or locked records).
class TMFNListForm : public QDialog
{
    Q_OBJECT
public:
    explicit TMFNListForm(QWidget *parent = nullptr);

    void FormCreate();
    void MFNStringGridDrawCell(QPainter *painter, int col, int row, const QRect &rect);

    TStringGrid *MFNStringGrid;
    QFrame *Panel1;
    QPushButton *ExitBitBtn;
};
