#include "Help.h"

#include "Dialogs.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {
QString g_helpFile;
QPointer<THelpForm> g_helpForm;
} // namespace

void setApplicationHelpFile(const QString &path)
{
    g_helpFile = path;
}

QString applicationHelpFile()
{
    return g_helpFile;
}

int helpContextOf(const QObject *object)
{
    for (const QObject *o = object; o; o = o->parent()) {
        const int context = o->property("helpContext").toInt();
        if (context > 0)
            return context;
        if (const auto *w = qobject_cast<const QWidget *>(o); w && w->isWindow())
            break;
    }
    return 0;
}

int currentHelpContext(const QObject *receiver)
{
    if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
        if (QAction *item = menu->activeAction()) {
            if (const int context = item->property("helpContext").toInt(); context > 0)
                return context;
        }
        return menu->menuAction()->property("helpContext").toInt();
    }
    if (receiver)
        return helpContextOf(receiver);
    if (QWidget *focus = QApplication::focusWidget())
        return helpContextOf(focus);
    return 0;
}

void ShowHelpContext(int context)
{
    if (g_helpFile.isEmpty() || !QFileInfo::exists(g_helpFile)) {
        Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s,
            u"Файл справки не найден: "_s + QDir::toNativeSeparators(g_helpFile));
        return;
    }
    // Under a modal dialog only its own children take input, so the help window joins it.
    QWidget *owner = QApplication::activeModalWidget();
    if (!g_helpForm)
        g_helpForm = new THelpForm(owner);
    else if (g_helpForm->parentWidget() != owner)
        g_helpForm->setParent(owner, g_helpForm->windowFlags());
    g_helpForm->showContext(g_helpFile, context);
}

THelpForm::THelpForm(QWidget *parent)
    : QDialog(parent)
    , HelpBrowser(new QTextBrowser(this))
{
    setObjectName(u"HelpForm"_s);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(640, 520);
    HelpBrowser->setObjectName(u"HelpBrowser"_s);
    HelpBrowser->setOpenLinks(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(HelpBrowser);
    connect(HelpBrowser, &QTextBrowser::sourceChanged, this,
        [this] { setWindowTitle(HelpBrowser->documentTitle()); });
}

void THelpForm::showContext(const QString &file, int context)
{
    QUrl url = QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
    url.setFragment(QString::number(context));
    HelpBrowser->setSource(url, QTextDocument::HtmlResource);
    if (context > 0)
        HelpBrowser->scrollToAnchor(QString::number(context));
    show();
    raise();
    activateWindow();
}
