#pragma once

#include <QDialog>

class QFrame;
class QPlainTextEdit;
class QPushButton;

// Result log of a maintenance process.
class TFormProtocol : public QDialog
{
    Q_OBJECT
public:
    explicit TFormProtocol(QWidget *parent = nullptr);

    void FormCreate();

    QPlainTextEdit *MemoProtocol;
    QFrame *Panel1;
    QPushButton *ButtonEx;
};
