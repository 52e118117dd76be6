#pragma once

#include "ClientList.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// Settings of the local file dialog that the browse buttons open.
struct TOpenDialogSettings
{
    QString Title;
    QString Filter; // "description|patterns|description|patterns"
    QString DefaultExt;
    QString InitialDir;

    // The filter in the form of QFileDialog: "description (patterns);;...".
    QString qtFilter() const;
};

// Profile of one client account: name, password and the six workstation INI files. Its texts
// are fixed Russian captions, outside the message catalogue and the font settings.
class TFormClientsEdit : public QDialog
{
    Q_OBJECT
public:
    explicit TFormClientsEdit(QWidget *parent = nullptr);

    void FormCreate();
    void FormShow();
    // A workstation check box changed: its edit and directory button follow it, and an edit that
    // comes back empty gets the workstation's default INI name.
    void WorkstationCheckBoxClick(int index);

    // The six workstations, top to bottom: C, R, B, P, O, A.
    static constexpr int WorkstationCount = 6;
    // Default INI name of a workstation, from the profile.
    static QString defaultIniName(int index);
    static ClientList::IniNames defaultIniNames();

    // OK: ends the dialog only when the name, password and INI names pass the checks.
    void ButtonOKClick();
    // Directory button: a name from the server's INI menu; browse button: a local file.
    void EditBtnClick(int index);
    void OpenBtnClick(int index);

    // Prepares the dialog for a new account: empty name and password, all six workstations at
    // their defaults.
    void prepareToAdd();
    // Prepares the dialog with an account; a workstation is ticked when its INI name is not empty.
    void prepareToEdit(const ClientList::Account &account);
    // Names of the other accounts, for the duplicate check; `own` is the index of the account
    // being edited (-1 when adding), which may keep its name.
    void setExistingNames(const QStringList &names, qsizetype own);
    // The account as the dialog holds it; a cleared workstation gives an empty INI name.
    ClientList::Account account() const;

    QGroupBox *GroupBoxNP;
    QLabel *LabelName;
    QLineEdit *EditName;
    QLabel *LabelPassword;
    QLineEdit *EditPassword;
    QGroupBox *GroupBoxIni;
    QCheckBox *CheckBoxC, *CheckBoxR, *CheckBoxB, *CheckBoxP, *CheckBoxO, *CheckBoxA;
    QLineEdit *EditC, *EditR, *EditB, *EditP, *EditO, *EditA;
    QToolButton *OpenBtnC, *OpenBtnR, *OpenBtnB, *OpenBtnP, *OpenBtnO, *OpenBtnA;
    QToolButton *EditBtnC, *EditBtnR, *EditBtnB, *EditBtnP, *EditBtnO, *EditBtnA;
    QPushButton *ButtonOK;
    QPushButton *ButtonCancel;
    TOpenDialogSettings OpenDialog;

    // The same controls by workstation index.
    std::array<QCheckBox *, WorkstationCount> checkBoxes() const;
    std::array<QLineEdit *, WorkstationCount> edits() const;
    std::array<QToolButton *, WorkstationCount> openButtons() const;
    std::array<QToolButton *, WorkstationCount> editButtons() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QStringList m_existingNames;
    qsizetype m_ownIndex = -1;

    // Down and Up in a workstation edit: to the next (previous) one, round, if it is enabled.
    void moveFocusFrom(int index, int step);
};
