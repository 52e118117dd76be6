#include "clients_edit.h"

#include "shell/Translate.h"

TFormClientsEdit::TFormClientsEdit(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormClientsEdit"));
    FormCreate();
}

void TFormClientsEdit::FormCreate()
{
    TranslateAndRefont(this);
}
