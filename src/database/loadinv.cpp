#include "loadinv.h"

#include "shell/Translate.h"

TLoadInvForm::TLoadInvForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LoadInvForm"));
    FormCreate();
}

void TLoadInvForm::FormCreate()
{
    TranslateAndRefont(this);
}
