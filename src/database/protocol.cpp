#include "protocol.h"

#include "shell/Translate.h"

TFormProtocol::TFormProtocol(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormProtocol"));
    FormCreate();
}

void TFormProtocol::FormCreate()
{
    TranslateAndRefont(this);
}
