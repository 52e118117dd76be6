#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

// The help file: an HTML document with one anchor per help context number.
void setApplicationHelpFile(const QString &path);
QString applicationHelpFile();
// Opens the help window at a context (0 = contents). A missing file is reported.
void ShowHelpContext(int context);
// Help context of a widget or menu item: its own "helpContext", else its parents'.
int helpContextOf(const QObject *object);
// Context for the help key: the highlighted item of an open menu, else the control that got
// the key (the focused one).
int currentHelpContext(const QObject *receiver = nullptr);

class THelpForm : public QDialog
{
    Q_OBJECT
public:
    explicit THelpForm(QWidget *parent = nullptr);

    void showContext(const QString &file, int context);

    QTextBrowser *HelpBrowser;
};
