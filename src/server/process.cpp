#include "process.h"

#include "shell/Translate.h"

TFormProcess::TFormProcess(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormProcess"));
    FormCreate();
}

void TFormProcess::FormCreate()
{
    TranslateAndRefont(this);
}
