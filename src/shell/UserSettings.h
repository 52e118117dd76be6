#pragma once

#include <QList>
#include <QString>

#include <memory>

class QSettings;

// The administrator's own choices that outlive a run (the monitor's interval, column widths):
// kept in the user's configuration directory, never in the working folder, whose Ctulvaa.ini is
// the installation's and is only read.
std::unique_ptr<QSettings> userSettings();

// Column widths kept under a key; empty when none are kept.
QList<int> savedColumnWidths(const QString &key);
// False when the settings could not be written.
bool saveColumnWidths(const QString &key, const QList<int> &widths);
