#include "loadinv.h"

#include "shell/FormUtil.h"
#include "shell/Translate.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

TLoadInvForm::TLoadInvForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"LoadInvForm"_s);
    setProperty("helpContext", 7600);
    setFixedSize(325, 153);
    setFormPosition(this, FormPosition::ScreenCenter);

    Label0 = new QLabel(this);
    Label0->setObjectName(u"Label0"_s);
    Label0->setGeometry(12, 12, 148, 16);

    Label1 = new QLabel(this);
    Label1->setObjectName(u"Label1"_s);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label1->setGeometry(165, 12, 148, 16);

    LoadProgressBar = new QProgressBar(this);
    LoadProgressBar->setObjectName(u"LoadProgressBar"_s);
    LoadProgressBar->setRange(0, 100);
    LoadProgressBar->setValue(0);
    LoadProgressBar->setTextVisible(false);
    LoadProgressBar->setGeometry(12, 40, 301, 20);

    Button1 = makeButton(this, u"Button1"_s, u"@136"_s);
    Button1->setGeometry(105, 92, 115, 27);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setInterval(500);

    FormCreate();
}

void TLoadInvForm::FormCreate()
{
    TranslateAndRefont(this);
    Timer1->stop();
}
