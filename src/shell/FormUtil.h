#pragma once

#include <QString>

class QFrame;
class QWidget;

// Where a window appears each time it is shown.
enum class FormPosition {
    ScreenCenter, // centred on the screen the window is on
    MainFormCenter, // centred over the main window (or the window's parent), else the screen
};

// Centres the window on every showing, as the window definitions' position rule does.
void setFormPosition(QWidget *window, FormPosition position);

// A panel of the window definitions: a plain frame that the font pass treats as a panel.
QFrame *makePanel(QWidget *parent, const QString &name);
