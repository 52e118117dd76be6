#include "Wamain.h"

#include "Translate.h"

TWAMainForm::TWAMainForm(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("WAMainForm"));
    setWindowTitle(QStringLiteral("@388"));
    FormCreate();
}

void TWAMainForm::FormCreate()
{
    TranslateAndRefont(this);
}
