#pragma once

#include <QString>
#include <QStringList>

// Shared pieces of the maintenance commands of the main window (their handlers are members of
// TWAMainForm, defined in Maintenance.cpp).

// The text of a result log as the memo shows it: lines joined by line breaks; zero characters,
// which would end the text early in a text box, become visible U+2400 signs.
QString protocolText(const QStringList &lines);

// Puts the text into the result log window and shows it modally with the caption.
void showProtocol(const QString &caption, const QString &text);

// Reads this client's result log "<client id>.ibf" afresh (the resource cache is emptied first)
// and shows it; `processCaption` is the menu item's caption that follows "Протокол поцесса - ".
void showProcessProtocol(const QString &processCaption);
