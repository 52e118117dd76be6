#include "UserSettings.h"

#include <QSettings>

using namespace Qt::Literals::StringLiterals;

std::unique_ptr<QSettings> userSettings()
{
    // An INI file in the same place on every system: ~/.config/tulvaa/tulvaa.ini and the like.
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, u"tulvaa"_s, u"tulvaa"_s);
}

QList<int> savedColumnWidths(const QString &key)
{
    const QStringList texts = userSettings()->value(u"ColumnWidths/"_s + key).toStringList();
    QList<int> widths;
    for (const QString &text : texts) {
        bool ok = false;
        const int width = text.toInt(&ok);
        // A damaged entry gives the column its default width back.
        widths.append(ok && width > 0 && width <= 10000 ? width : -1);
    }
    return widths;
}

bool saveColumnWidths(const QString &key, const QList<int> &widths)
{
    QStringList texts;
    for (const int width : widths)
        texts.append(QString::number(width));
    const auto settings = userSettings();
    settings->setValue(u"ColumnWidths/"_s + key, texts);
    settings->sync();
    return settings->status() == QSettings::NoError;
}
