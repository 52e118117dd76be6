#include "Mfnlist.h"

#include "shell/Translate.h"

TMFNListForm::TMFNListForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MFNListForm"));
    FormCreate();
}

void TMFNListForm::FormCreate()
{
    TranslateAndRefont(this);
}
