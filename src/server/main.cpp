#include "main.h"

#include "shell/Translate.h"

TFormRegClients::TFormRegClients(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormRegClients"));
    FormCreate();
}

void TFormRegClients::FormCreate()
{
    TranslateAndRefont(this);
}
