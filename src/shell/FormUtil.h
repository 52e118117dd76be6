#pragma once

#include <QList>
#include <QString>

#include <functional>

class QFrame;
class QPushButton;
class QWidget;

// Where a window appears each time it is shown.
enum class FormPosition {
    ScreenCenter, // centred on the screen the window is on
    MainFormCenter, // centred over the main window (or the window's parent), else the screen
};

// Runs the handler (a window's FormShow) each time the window is shown, but not when it comes
// back from the task bar.
void onEveryShowing(QWidget *window, std::function<void()> handler);

// Centres the window on every showing, as the window definitions' position rule does.
void setFormPosition(QWidget *window, FormPosition position);

// A panel of the window definitions: a plain frame that the font pass treats as a panel.
QFrame *makePanel(QWidget *parent, const QString &name);

// A button of the window definitions (at least 85 × 27, no default by Enter); a bitmap button is
// marked so that the font pass treats it as one.
QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption, bool bitmap = false);
// The bottom panel (41 px high) of a window with its items from left to right; a null item stands
// for the free space between them.
QFrame *makeBottomPanel(QWidget *parent, const QString &name, const QList<QWidget *> &items);
// Lays the window out from top to bottom, edge to edge; `fill` takes the free height.
void stackVertically(QWidget *window, const QList<QWidget *> &widgets, QWidget *fill);
