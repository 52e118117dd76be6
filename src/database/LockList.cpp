#include "LockList.h"

#include "shell/Translate.h"

TLockedListForm::TLockedListForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LockedListForm"));
    FormCreate();
}

void TLockedListForm::FormCreate()
{
    TranslateAndRefont(this);
}
