#include "clients_menu.h"

#include "shell/Translate.h"

TOpenDbMenu::TOpenDbMenu(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OpenDbMenu"));
    FormCreate();
}

void TOpenDbMenu::FormCreate()
{
    TranslateAndRefont(this);
}
