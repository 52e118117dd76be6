#pragma once

#include <QString>
#include <QStringList>

class QAction;
class QObject;
class QWidget;

// Kind of control as the window definitions know it ("TLabel", "TBitBtn", "TPanel", ...). Qt
// has one class for some pairs of kinds (plain and bitmap buttons, edits and masked edits,
// frames and panels); a window marks those with the dynamic property "delphiKind".
QString controlKind(const QObject *control);
void setControlKind(QObject *control, const QString &kind);

// Replaces the "@N" references of the control and of every control under it.
void TranslateComponent(QWidget *control, const QStringList &messages);
// Replaces the references in the caption of a menu item and of every item under it.
void TranslateMenuItems(QAction *item, const QStringList &messages);
// Gives the text controls the configured face (and a face that can show the character set).
void ApplyFontSettings(QWidget *control, const QString &fontName, quint8 fontCharset);

// Both of the above with the program-wide MessageList, FontName and FontCharset.
void TranslateAndRefont(QWidget *window);
