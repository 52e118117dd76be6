#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QSpinBox;

// The automatic-refresh interval, in whole seconds (0 switches the refresh off).
class TAutoaskForm : public QDialog
{
    Q_OBJECT
public:
    explicit TAutoaskForm(QWidget *parent = nullptr);

    void FormCreate();

    QLabel *IntervalLabel;
    QSpinBox *AutoaskSpinEdit;
    QPushButton *OKBitBtn;
    QPushButton *CancelBitBtn;
};
