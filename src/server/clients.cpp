#include "clients.h"

#include "shell/Translate.h"

TFormCLient::TFormCLient(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormCLient"));
    FormCreate();
}

void TFormCLient::FormCreate()
{
    TranslateAndRefont(this);
}
