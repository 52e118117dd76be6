#pragma once

#include <QDialog>

class LockedMfnsModel;
class QFrame;
class QPushButton;
class TStringGrid;

// Picker of the locked records to unlock: a click in the mark column or a double click marks a
// record; Run hands the marked MFNs to the command in UnlockSelection.
class TLockedListForm : public QDialog
{
    Q_OBJECT
public:
    explicit TLockedListForm(QWidget *parent = nullptr);

    void FormCreate();
    void FormShow();
    void MfnStringGridDrawCell(QPainter *painter, int col, int row, const QRect &rect);
    // A left-button press at a point of the grid's viewport (not the second press of a double click).
    void MfnStringGridMouseDown(const QPoint &pos);
    void MfnStringGridDblClick();
    void SelectAllBitBtnClick();
    void RunBitBtnClick();

    LockedMfnsModel *model() const { return m_model; }

    TStringGrid *MfnStringGrid;
    QFrame *Panel1;
    QPushButton *RunBitBtn;
    QPushButton *SelectAllBitBtn;
    QPushButton *CancelBitBtn;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setColumnWidths(int gridRowCount);

    LockedMfnsModel *m_model;
};
