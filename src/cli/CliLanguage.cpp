#include "CliLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace Qt::Literals::StringLiterals;

bool localeIsRussian()
{
    return QLocale::system().language() == QLocale::Russian;
}

bool installCliTranslations()
{
    if (!localeIsRussian())
        return true;
    auto *own = new QTranslator(QCoreApplication::instance());
    if (!own->load(u":/tulvaa-cli/i18n/tulvaa-cli_ru.qm"_s)) {
        delete own;
        return false;
    }
    QCoreApplication::installTranslator(own);
    // Qt's own texts (some file errors) where Qt's translations are installed; English otherwise.
    auto *qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(u"qtbase_ru"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    return true;
}
