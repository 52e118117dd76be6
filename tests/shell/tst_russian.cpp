// Russian everywhere the administrator looks: the buttons of our boxes even without Qt's own
// translations, Qt's own texts (an edit's context menu) once they are loaded, and the reason a
// file could not be read.
#include "TestSupport.h"
#include "shell/Dialogs.h"
#include "shell/Messages.h"
#include "shell/Program.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

// Runs `act` once `ready` returns a widget, polling while a modal loop runs.
void whenShown(std::function<QWidget *()> ready, std::function<void(QWidget *)> act)
{
    auto *poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, ready, act] {
        QWidget *w = ready();
        if (!w || !w->isVisible() || !w->windowHandle() || !w->windowHandle()->isExposed())
            return;
        poll->stop();
        poll->deleteLater();
        act(w);
    });
    poll->start();
}

QWidget *activeBox()
{
    return qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
}

// Button texts as shown: the mnemonic marker and a shortcut after a tab are not read out.
QString shown(QString text)
{
    text = text.section(u'\t', 0, 0);
    text.remove(u'&');
    return text;
}

} // namespace

class TestRussian : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void boxButtonsWithoutQtTranslations();
    void editContextMenuWithQtTranslations();
    void fileErrors();
};

void TestRussian::initTestCase()
{
    Dialogs::reset();
    Dialogs::setTestMode(false);
}

void TestRussian::boxButtonsWithoutQtTranslations()
{
    // The retry question: "Нет" clicked as a person clicks it.
    QStringList texts;
    bool done = false;
    whenShown(activeBox, [&](QWidget *w) {
        auto *box = static_cast<QMessageBox *>(w);
        for (QAbstractButton *b : box->buttons())
            texts.append(shown(b->text()));
        QAbstractButton *no = box->button(QMessageBox::No);
        QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {}, no->mapTo(box, no->rect().center()));
        done = true;
    });
    const bool again = Dialogs::askYesNo(Dialogs::Icon::Question, u"Внимание!"_s,
        u"Связь с сервером ТУЛВА64 прервана. Следует повторить обращение к серверу"_s);
    QTRY_VERIFY(done);
    QVERIFY(!again);
    texts.sort();
    QCOMPARE(texts, (QStringList{ u"Да"_s, u"Нет"_s }));

    // A message box: "OK", taken with Enter.
    texts.clear();
    done = false;
    whenShown(activeBox, [&](QWidget *w) {
        for (QAbstractButton *b : static_cast<QMessageBox *>(w)->buttons())
            texts.append(shown(b->text()));
        QTest::keyClick(w->windowHandle(), Qt::Key_Return);
        done = true;
    });
    Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s, u"Сервер недоступен."_s);
    QTRY_VERIFY(done);
    QCOMPARE(texts, (QStringList{ u"OK"_s }));

    // OK and Cancel together.
    texts.clear();
    done = false;
    whenShown(activeBox, [&](QWidget *w) {
        for (QAbstractButton *b : static_cast<QMessageBox *>(w)->buttons())
            texts.append(shown(b->text()));
        QTest::keyClick(w->windowHandle(), Qt::Key_Escape);
        done = true;
    });
    const auto answer = Dialogs::show(Dialogs::Icon::Question, u"Внимание!"_s, u"?"_s,
        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    QTRY_VERIFY(done);
    QCOMPARE(answer, QMessageBox::Cancel);
    texts.sort();
    QCOMPARE(texts, (QStringList{ u"OK"_s, u"Отмена"_s }));
}

void TestRussian::editContextMenuWithQtTranslations()
{
    // Debian ships them in qt6-translations-l10n, which the install script installs.
    QVERIFY(InstallQtTranslations());
    QVERIFY(InstallQtTranslations());

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *edit = new QLineEdit(u"ТУЛВА"_s, &window);
    layout->addWidget(edit);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QStringList texts;
    bool done = false;
    whenShown([] { return QApplication::activePopupWidget(); },
        [&](QWidget *w) {
            for (QAction *a : static_cast<QMenu *>(w)->actions()) {
                if (!a->isSeparator())
                    texts.append(shown(a->text()));
            }
            QTest::keyClick(w->windowHandle(), Qt::Key_Escape);
            done = true;
        });
    // A right click as the window system delivers it opens the edit's own menu.
    const QPoint at = edit->mapTo(&window, edit->rect().center());
    QTest::mousePress(window.windowHandle(), Qt::RightButton, {}, at);
    QTest::mouseRelease(window.windowHandle(), Qt::RightButton, {}, at);
    QTRY_VERIFY(done);
    for (const QString &expected : { u"Вырезать"_s, u"Копировать"_s, u"Вставить"_s, u"Выделить всё"_s })
        QVERIFY2(texts.contains(expected), qPrintable(texts.join(u", "_s)));
    for (const QString &english : { u"Cut"_s, u"Paste"_s, u"Undo"_s, u"Select All"_s })
        QVERIFY2(!texts.contains(english), qPrintable(texts.join(u", "_s)));
}

void TestRussian::fileErrors()
{
    ScopedWorkDir dir;
    QStringList lines;
    QString error;
    QVERIFY(!Messages::loadFile(dir.filePath(u"TULVAMSG.TXT"_s), &lines, &error));
    QCOMPARE(error, QDir::toNativeSeparators(dir.filePath(u"TULVAMSG.TXT"_s)) + u": файл не найден"_s);

    QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
    QVERIFY(!Messages::loadFile(dir.filePath(u"folder"_s), &lines, &error));
    QVERIFY2(error.endsWith(u": это папка, а не файл"_s), qPrintable(error));

    // The system's own texts never reach the administrator.
    QFile file(dir.filePath(u"missing"_s));
    QVERIFY(!file.open(QIODevice::ReadOnly));
    QVERIFY(!file.errorString().isEmpty());
    QCOMPARE(fileErrorText(file), u"файл не найден"_s);
}

QTEST_MAIN(TestRussian)
#include "tst_russian.moc"
