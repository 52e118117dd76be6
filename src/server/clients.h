#pragma once

#include <QDialog>
#include <QStringList>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class TStringGrid;

// Real password of client grid row i+1 at entry i; the grid itself shows only "*****".
inline QStringList ClientPasswords;
// Column the client grid is sorted by.
inline int ClientSortColumn = 1;

// The server's client accounts.
class TFormCLient : public QDialog
{
    Q_OBJECT
public:
    explicit TFormCLient(QWidget *parent = nullptr);
    ~TFormCLient() override;

    void FormCreate();
    void PlaceSortMarker();
    void ButtonCancelClick();

    TStringGrid *StringGridCLients;
    QMenu *PopupMenuClient;
    QAction *Refresh;
    QAction *N2;
    QAction *ProcStop;
    QAction *CEdit;
    QAction *N1;
    QAction *N3;
    QAction *Save;
    QFrame *Panel1;
    QLabel *LabelComments;
    QPushButton *ButtonOK;
    QPushButton *ButtonCancel;
    QFrame *PanelImage; // sort marker floating over the title row
    QLabel *Image1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
