#include "Autoask.h"

#include "shell/Translate.h"

TAutoaskForm::TAutoaskForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AutoaskForm"));
    FormCreate();
}

void TAutoaskForm::FormCreate()
{
    TranslateAndRefont(this);
}
