#include "Opendb.h"

#include "shell/Translate.h"

TOpenDbForm::TOpenDbForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OpenDbForm"));
    FormCreate();
}

void TOpenDbForm::FormCreate()
{
    TranslateAndRefont(this);
}
