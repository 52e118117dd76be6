#pragma once

#include <QDialog>

class MfnListModel;
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

    // The rows the grid shows; each list command fills it.
    MfnListModel *listModel() const { return m_list; }

    TStringGrid *MFNStringGrid;
    QFrame *Panel1;
    QPushButton *ExitBitBtn;

private:
    MfnListModel *m_list;
};
