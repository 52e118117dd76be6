#include "connect.h"

#include "shell/Translate.h"

TFormConnect::TFormConnect(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormConnect"));
    FormCreate();
}

void TFormConnect::FormCreate()
{
    TranslateAndRefont(this);
}
