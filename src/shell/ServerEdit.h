#pragma once

#include "ServerBook.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;
class QToolButton;

// A saved server, new or changed: name, address and the optional SSH tunnel. Never a password.
class TFormServerEdit : public QDialog
{
    Q_OBJECT
public:
    explicit TFormServerEdit(QWidget *parent = nullptr);

    // Fills the fields; an entry without a name is a new server.
    void setEntry(const ServerEntry &entry);
    ServerEntry entry() const;
    // Saves on OK and returns why it could not; the dialog then stays open with what was typed.
    void setSaver(std::function<QString(const ServerEntry &)> save) { m_save = std::move(save); }

    void ButtonOkClick();
    void ButtonBrowseClick();

    QLineEdit *EditName;
    QLineEdit *EditHost;
    QLineEdit *EditPort;
    QLineEdit *EditSshHost;
    QLineEdit *EditSshPort;
    QLineEdit *EditSshIdentity;
    QToolButton *ButtonBrowse;
    QPushButton *ButtonOk;
    QPushButton *ButtonCancel;

private:
    QLineEdit *editOf(ServerField field) const;

    std::function<QString(const ServerEntry &)> m_save;
};
