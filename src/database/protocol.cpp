#include "protocol.h"

#include "shell/FormUtil.h"
#include "shell/Translate.h"

#include <QBoxLayout>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

TFormProtocol::TFormProtocol(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"FormProtocol"_s);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setMinimumSize(500, 375);
    resize(544, 375);
    setFormPosition(this, FormPosition::MainFormCenter);

    MemoProtocol = new QPlainTextEdit(this);
    MemoProtocol->setObjectName(u"MemoProtocol"_s);
    MemoProtocol->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Lines wrap, so no horizontal bar; a long log still needs the vertical one to be read.
    MemoProtocol->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MemoProtocol->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    Panel1 = makePanel(this, u"Panel1"_s);
    Panel1->setFixedHeight(41);
    ButtonEx = new QPushButton(u"@90"_s, Panel1);
    ButtonEx->setObjectName(u"ButtonEx"_s);
    ButtonEx->setAutoDefault(false);
    ButtonEx->setMinimumSize(85, 27);
    auto *buttons = new QHBoxLayout(Panel1);
    buttons->setContentsMargins(8, 7, 8, 7);
    buttons->addStretch();
    buttons->addWidget(ButtonEx);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(MemoProtocol, 1);
    layout->addWidget(Panel1);

    connect(ButtonEx, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
}

void TFormProtocol::FormCreate()
{
    TranslateAndRefont(this);
}
