#include "Translate.h"

#include "Globals.h"
#include "Messages.h"
#include "StringGrid.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr const char *kKindProperty = "delphiKind";

// Menus are not controls: their texts follow the menu rule, reached from the window or grid.
bool isControl(const QObject *child)
{
    const auto *w = qobject_cast<const QWidget *>(child);
    return w && !w->isWindow() && !qobject_cast<const QMenu *>(w) && !qobject_cast<const QMenuBar *>(w);
}

// Qt builds some controls out of inner widgets (the edit of a spin box or combo box, the
// viewport and headers of a grid); those are parts of the control, not controls of the window.
bool containsControls(const QWidget *control)
{
    return !(qobject_cast<const QAbstractSpinBox *>(control) || qobject_cast<const QComboBox *>(control)
        || qobject_cast<const QAbstractItemView *>(control) || qobject_cast<const QAbstractButton *>(control)
        || qobject_cast<const QLineEdit *>(control) || qobject_cast<const QTabBar *>(control)
        || qobject_cast<const QPlainTextEdit *>(control) || qobject_cast<const QTextEdit *>(control));
}

QList<QWidget *> childControls(QWidget *control)
{
    QList<QWidget *> out;
    if (!containsControls(control))
        return out;
    for (QObject *child : control->children()) {
        if (isControl(child))
            out.append(static_cast<QWidget *>(child));
    }
    return out;
}

void translateProperties(QObject *control, const QStringList &messages)
{
    const QMetaObject *meta = control->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        if (p.metaType().id() != QMetaType::QString || !p.isWritable() || !p.isDesignable())
            continue;
        const QString text = p.read(control).toString();
        const QString translated = Messages::translateText(text, messages);
        if (translated != text)
            p.write(control, translated);
    }
}

template <typename Get, typename Set>
void translateEntries(int count, Get get, Set set, const QStringList &messages)
{
    for (int i = 0; i < count; ++i) {
        const QString text = get(i);
        const QString translated = Messages::translateText(text, messages);
        if (translated != text)
            set(i, translated);
    }
}

QStringList translateLines(const QString &text, const QStringList &messages, bool *changed)
{
    QStringList lines = text.split(u'\n');
    *changed = false;
    for (QString &line : lines) {
        const QString translated = Messages::translateText(line, messages);
        if (translated != line) {
            line = translated;
            *changed = true;
        }
    }
    return lines;
}

void translateListEntries(QWidget *control, const QStringList &messages)
{
    const QString kind = controlKind(control);
    if (kind == u"TRadioGroup") {
        // Its items are the radio buttons under it, reached as children.
        return;
    }
    if (auto *combo = qobject_cast<QComboBox *>(control)) {
        translateEntries(
            combo->count(), [&](int i) { return combo->itemText(i); },
            [&](int i, const QString &t) { combo->setItemText(i, t); }, messages);
        return;
    }
    if (auto *list = qobject_cast<QListWidget *>(control)) {
        translateEntries(
            list->count(), [&](int i) { return list->item(i)->text(); },
            [&](int i, const QString &t) { list->item(i)->setText(t); }, messages);
        return;
    }
    if (auto *tabs = qobject_cast<QTabWidget *>(control)) {
        translateEntries(
            tabs->count(), [&](int i) { return tabs->tabText(i); },
            [&](int i, const QString &t) { tabs->setTabText(i, t); }, messages);
        return;
    }
    if (auto *bar = qobject_cast<QTabBar *>(control)) {
        translateEntries(
            bar->count(), [&](int i) { return bar->tabText(i); },
            [&](int i, const QString &t) { bar->setTabText(i, t); }, messages);
        return;
    }
    if (auto *rich = qobject_cast<QTextEdit *>(control)) {
        bool changed = false;
        const QStringList lines = translateLines(rich->toPlainText(), messages, &changed);
        if (changed)
            rich->setPlainText(lines.join(u'\n'));
        return;
    }
    if (auto *memo = qobject_cast<QPlainTextEdit *>(control)) {
        bool changed = false;
        const QStringList lines = translateLines(memo->toPlainText(), messages, &changed);
        if (changed)
            memo->setPlainText(lines.join(u'\n'));
        return;
    }
    if (auto *window = qobject_cast<QMainWindow *>(control)) {
        if (QMenuBar *bar = window->menuWidget() ? qobject_cast<QMenuBar *>(window->menuWidget()) : nullptr) {
            for (QAction *item : bar->actions())
                TranslateMenuItems(item, messages);
        }
        return;
    }
    if (auto *grid = qobject_cast<TStringGrid *>(control)) {
        if (QMenu *popup = grid->popupMenu()) {
            for (QAction *item : popup->actions())
                TranslateMenuItems(item, messages);
        }
        return;
    }
}

// Family list that shows the character set even when the configured face cannot.
QStringList familiesFor(const QString &fontName, quint8 charset)
{
    QFontDatabase::WritingSystem system = QFontDatabase::Any;
    switch (charset) {
    case 204:
        system = QFontDatabase::Cyrillic;
        break;
    case 161:
        system = QFontDatabase::Greek;
        break;
    case 177:
        system = QFontDatabase::Hebrew;
        break;
    case 178:
        system = QFontDatabase::Arabic;
        break;
    case 222:
        system = QFontDatabase::Thai;
        break;
    case 128:
        system = QFontDatabase::Japanese;
        break;
    case 129:
        system = QFontDatabase::Korean;
        break;
    case 134:
        system = QFontDatabase::SimplifiedChinese;
        break;
    case 136:
        system = QFontDatabase::TraditionalChinese;
        break;
    case 2:
        system = QFontDatabase::Symbol;
        break;
    default:
        break;
    }
    QStringList families{ fontName };
    if (system == QFontDatabase::Any)
        return families;
    static QHash<QString, QStringList> cache;
    const QString key = fontName + u'/' + QString::number(charset);
    auto it = cache.find(key);
    if (it != cache.end())
        return *it;
    const QStringList supporting = QFontDatabase::families(system);
    if (!supporting.isEmpty() && !supporting.contains(fontName, Qt::CaseInsensitive)) {
        // A face we know to be metric-compatible first, then whatever the system offers.
        static const QStringList preferred{ u"Liberation Sans"_s, u"Arial"_s, u"DejaVu Sans"_s };
        QString fallback = supporting.first();
        for (const QString &p : preferred) {
            if (supporting.contains(p, Qt::CaseInsensitive)) {
                fallback = p;
                break;
            }
        }
        families.append(fallback);
    }
    cache.insert(key, families);
    return families;
}

void setFace(QWidget *w, const QStringList &families)
{
    QFont f = w->font();
    f.setFamilies(families);
    w->setFont(f);
}

} // namespace

QString controlKind(const QObject *control)
{
    const QVariant marked = control->property(kKindProperty);
    if (marked.isValid())
        return marked.toString();
    if (qobject_cast<const QMainWindow *>(control))
        return u"TForm"_s;
    if (qobject_cast<const QLabel *>(control))
        return u"TLabel"_s;
    if (qobject_cast<const QPushButton *>(control))
        return u"TButton"_s;
    if (qobject_cast<const QToolButton *>(control))
        return u"TSpeedButton"_s;
    if (qobject_cast<const QLineEdit *>(control))
        return u"TEdit"_s;
    if (qobject_cast<const QComboBox *>(control))
        return u"TComboBox"_s;
    if (qobject_cast<const TStringGrid *>(control))
        return u"TStringGrid"_s;
    if (qobject_cast<const QPlainTextEdit *>(control))
        return u"TMemo"_s;
    if (qobject_cast<const QTextEdit *>(control))
        return u"TRichEdit"_s;
    if (qobject_cast<const QListWidget *>(control))
        return u"TListBox"_s;
    if (qobject_cast<const QGroupBox *>(control))
        return u"TGroupBox"_s;
    if (qobject_cast<const QTabWidget *>(control))
        return u"TTabbedNotebook"_s;
    if (qobject_cast<const QTabBar *>(control))
        return u"TTabSet"_s;
    if (const auto *w = qobject_cast<const QWidget *>(control); w && w->isWindow())
        return u"TForm"_s;
    return QString::fromLatin1(control->metaObject()->className());
}

void setControlKind(QObject *control, const QString &kind)
{
    control->setProperty(kKindProperty, kind);
}

void TranslateMenuItems(QAction *item, const QStringList &messages)
{
    const QString caption = item->text();
    const QString translated = Messages::translateMenuCaption(caption, messages);
    if (translated != caption)
        item->setText(translated);
    if (QMenu *sub = item->menu()) {
        for (QAction *child : sub->actions())
            TranslateMenuItems(child, messages);
    }
}

void TranslateComponent(QWidget *control, const QStringList &messages)
{
    translateProperties(control, messages);
    translateListEntries(control, messages);
    for (QWidget *child : childControls(control))
        TranslateComponent(child, messages);
}

void ApplyFontSettings(QWidget *control, const QString &fontName, quint8 fontCharset)
{
    static const QStringList refonted{ u"TLabel"_s, u"TBitBtn"_s, u"TEdit"_s, u"TComboBox"_s,
        u"TStringGrid"_s, u"TMemo"_s, u"TRichEdit"_s, u"TPanel"_s, u"TListBox"_s, u"TGroupBox"_s,
        u"TRadioGroup"_s, u"TSpeedButton"_s, u"TTabSet"_s, u"TMaskEdit"_s, u"TTabbedNotebook"_s };
    const QString kind = controlKind(control);
    if (refonted.contains(kind)) {
        // Symbol glyphs on a bitmap button must stay symbols.
        const bool keep = kind == u"TBitBtn" && control->font().family() == u"Wingdings";
        if (!keep) {
            const QStringList families = familiesFor(fontName, fontCharset);
            if (kind == u"TTabbedNotebook") {
                if (auto *tabs = qobject_cast<QTabWidget *>(control))
                    setFace(tabs->tabBar(), families);
            }
            setFace(control, families);
        }
    }
    for (QWidget *child : childControls(control))
        ApplyFontSettings(child, fontName, fontCharset);
}

void TranslateAndRefont(QWidget *window)
{
    TranslateComponent(window, MessageList);
    ApplyFontSettings(window, FontName, FontCharset);
}
