#include "Autoask.h"

#include "FormUtil.h"
#include "Translate.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

using namespace Qt::Literals::StringLiterals;

TAutoaskForm::TAutoaskForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"AutoaskForm"_s);
    setWindowTitle(u"@418"_s);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setProperty("helpContext", 5100);
    setFixedSize(300, 110);

    IntervalLabel = new QLabel(u"@498"_s, this);
    IntervalLabel->setObjectName(u"IntervalLabel"_s);
    IntervalLabel->setGeometry(16, 16, 200, 40);
    IntervalLabel->setWordWrap(true);
    AutoaskSpinEdit = new QSpinBox(this);
    AutoaskSpinEdit->setObjectName(u"AutoaskSpinEdit"_s);
    AutoaskSpinEdit->setRange(0, 65);
    AutoaskSpinEdit->findChild<QLineEdit *>()->setMaxLength(2);
    AutoaskSpinEdit->setGeometry(224, 22, 60, 24);

    OKBitBtn = makeButton(this, u"OKBitBtn"_s, u"OK"_s, true);
    OKBitBtn->setDefault(true);
    OKBitBtn->setGeometry(60, 68, 88, 28);
    CancelBitBtn = makeButton(this, u"CancelBitBtn"_s, u"@312"_s, true);
    CancelBitBtn->setGeometry(156, 68, 88, 28);
    connect(OKBitBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBitBtn, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
}

void TAutoaskForm::FormCreate()
{
    TranslateAndRefont(this);
}
