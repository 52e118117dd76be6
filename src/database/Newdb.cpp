#include "Newdb.h"

#include "shell/Translate.h"

TNewDBForm::TNewDBForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("NewDBForm"));
    FormCreate();
}

void TNewDBForm::FormCreate()
{
    TranslateAndRefont(this);
}
