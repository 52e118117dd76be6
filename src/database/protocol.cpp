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
    setProperty("helpContext", 7700);
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

    ButtonEx = makeButton(this, u"ButtonEx"_s, u"@90"_s);
    Panel1 = makeBottomPanel(this, u"Panel1"_s, { nullptr, ButtonEx });
    stackVertically(this, { MemoProtocol, Panel1 }, MemoProtocol);

    connect(ButtonEx, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
}

void TFormProtocol::FormCreate()
{
    TranslateAndRefont(this);
}
