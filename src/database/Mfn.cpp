#include "Mfn.h"

#include "shell/Translate.h"

TMFNForm::TMFNForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MFNForm"));
    FormCreate();
}

void TMFNForm::FormCreate()
{
    TranslateAndRefont(this);
}
