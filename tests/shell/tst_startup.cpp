// The program's start: settings and catalogue from the working directory, every window created
// with its captions, the login dialog one second later, and the refusal to run without messages
// or with a settings or message file that cannot be read.
#include "TestSupport.h"
#include "shell/Application.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/Help.h"
#include "shell/Labelf.h"
#include "shell/Program.h"
#include "shell/StringGrid.h"
#include "shell/Wamain.h"
#include "shell/connect.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMetaProperty>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// Texts of a window that still look like "@N" references.
QStringList untranslated(QWidget *window)
{
    static const QRegularExpression reference(u"^&?@\\d+$"_s);
    QStringList left;
    auto check = [&](const QString &where, const QString &text) {
        if (reference.match(text).hasMatch())
            left.append(where + u": "_s + text);
    };
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *w : widgets) {
        const QMetaObject *meta = w->metaObject();
        for (int i = 0; i < meta->propertyCount(); ++i) {
            const QMetaProperty p = meta->property(i);
            if (p.metaType().id() == QMetaType::QString)
                check(w->objectName() + u'.' + QString::fromLatin1(p.name()), p.read(w).toString());
        }
        for (QAction *a : w->actions())
            check(a->objectName(), a->text());
        if (auto *grid = qobject_cast<TStringGrid *>(w)) {
            for (int c = 0; c < grid->colCount(); ++c)
                check(grid->objectName() + u" title"_s, grid->cell(c, 0));
        }
    }
    return left;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void readsTheWorkingDirectory();
    void defaultsWithoutSettingsFile();
    void loginDialogAfterOneSecond();
    void startFileThatCannotBeRead_data();
    void startFileThatCannotBeRead();
};

void TestStartup::init()
{
    resetProgramState();
    Dialogs::reset();
    Dialogs::setTestMode(true);
    resetApplicationTerminating();
}

void TestStartup::cleanup()
{
    DestroyForms();
    Dialogs::reset();
    setApplicationTerminateHandler(nullptr);
}

void TestStartup::readsTheWorkingDirectory()
{
    ScopedWorkDir dir;
    writeCp1251File(dir.filePath(LocalIniFileName),
        { u"[MAIN]"_s, u"TulvaMsg=Сообщения.txt"_s, u"FontName=Liberation Serif"_s, u"FontCharSet=0x1CC"_s,
            u"HLPFILE=help.htm"_s });
    QStringList messages = numberedMessages(1369);
    messages[388] = u"Главное окно"_s;
    writeCp1251File(dir.filePath(u"Сообщения.txt"_s), messages);

    LabelForm = new TLabelForm;
    QVERIFY(LabelForm->messagesLoaded());
    QCOMPARE(MessageFileName, u"Сообщения.txt"_s);
    QCOMPARE(MessageList.size(), 1369);
    QCOMPARE(FontName, u"Liberation Serif"_s);
    QCOMPARE(FontCharset, quint8(204));
    // The splash window is translated when it is shown.
    LabelForm->show();
    QCOMPARE(LabelForm->SubtitleLabel->text(), u"Главное окно"_s);

    CreateForms();
    QCOMPARE(WAMainForm->windowTitle(), u"Главное окно"_s);
    QCOMPARE(applicationHelpFile(), dir.filePath(u"help.htm"_s));
    QCOMPARE(WAMainForm->StatisticGrid->cell(0, 1), u"msg 181"_s);
    QCOMPARE(WAMainForm->StatisticGrid->cell(1, 0), u"msg 112"_s);
    QCOMPARE(WAMainForm->Version1->text(), u"Version"_s);
    QCOMPARE(WAMainForm->StatisticGrid->font().family(), u"Liberation Serif"_s);

    for (QWidget *window : QApplication::topLevelWidgets()) {
        const QStringList left = untranslated(window);
        QVERIFY2(left.isEmpty(), qPrintable(window->objectName() + u": "_s + left.join(u", "_s)));
    }
}

void TestStartup::defaultsWithoutSettingsFile()
{
    ScopedWorkDir dir;
    writeCp1251File(dir.filePath(u"TULVAMSG.TXT"_s), numberedMessages(1369));
    LabelForm = new TLabelForm;
    QVERIFY(LabelForm->messagesLoaded());
    QCOMPARE(MessageFileName, u"TULVAMSG.TXT"_s);
    QCOMPARE(FontName, u"Arial"_s);
    QCOMPARE(FontCharset, quint8(204));
    CreateForms();
    QCOMPARE(applicationHelpFile(), dir.filePath(u"tulvaa.hlp"_s));
}

void TestStartup::loginDialogAfterOneSecond()
{
    ScopedWorkDir dir;
    writeCp1251File(
        dir.filePath(LocalIniFileName), { u"[Main]"_s, u"ServerIP=10.1.2.3"_s, u"USERNAME=admin"_s });
    writeCp1251File(dir.filePath(u"TULVAMSG.TXT"_s), numberedMessages(1369));
    LabelForm = new TLabelForm;
    // The start timer runs from the creation of the main window: the second counts from before it.
    QElapsedTimer clock;
    clock.start();
    CreateForms();

    QString title;
    QString name;
    bool passwordFocused = false;
    qint64 shownAfter = -1;
    Dialogs::setModalHandler([&](QDialog *dialog) {
        shownAfter = clock.elapsed();
        dialog->show();
        title = dialog->windowTitle();
        name = FormConnect->EditName->text();
        passwordFocused = FormConnect->focusWidget() == FormConnect->MaskEditPassword;
        FormConnect->ButtonCancel->click();
        return dialog->result();
    });
    int terminations = 0;
    setApplicationTerminateHandler([&] { ++terminations; });

    QTRY_VERIFY_WITH_TIMEOUT(shownAfter >= 0, 30000);
    QVERIFY2(shownAfter >= 900, qPrintable(QString::number(shownAfter)));
    QCOMPARE(title, u"10.1.2.3"_s);
    QCOMPARE(name, u"admin"_s);
    QVERIFY(passwordFocused);
    QCOMPARE(ServerPortText, u"6666"_s);
    QVERIFY(terminations >= 1);
    // The splash window goes when the login dialog closes.
    QTRY_VERIFY(LabelForm == nullptr);
    // The start timer fires once.
    shownAfter = -1;
    QTest::qWait(1300);
    QCOMPARE(shownAfter, qint64(-1));
}

void TestStartup::startFileThatCannotBeRead_data()
{
    QTest::addColumn<QString>("settings"); // the key line, or "@LINK" for a settings file without end
    QTest::addColumn<QString>("named"); // path and reason, after the working directory
    QTest::addColumn<QString>("which");

    QTest::newRow("missing") << u"TulvaMsg=nothere.txt"_s << u"nothere.txt: файл не найден"_s
                             << u"файл сообщений"_s;
    QTest::newRow("message file without end")
        << u"TulvaMsg=/dev/zero"_s << u"/dev/zero: файл больше 16 МиБ"_s << u"файл сообщений"_s;
    QTest::newRow("settings file without end")
        << u"@LINK"_s << u"Ctulvaa.ini: файл больше 16 МиБ"_s << u"файл настроек"_s;
}

void TestStartup::startFileThatCannotBeRead()
{
    QFETCH(QString, settings);
    QFETCH(QString, named);
    QFETCH(QString, which);
    ScopedWorkDir dir;
    if (settings == u"@LINK") {
        if (!QFile::link(u"/dev/zero"_s, dir.filePath(LocalIniFileName)))
            QSKIP("no /dev/zero to link to");
    } else {
        writeCp1251File(dir.filePath(LocalIniFileName), { u"[Main]"_s, settings });
    }
    if (named.startsWith(u"/dev/zero"_s) && !QFile::exists(u"/dev/zero"_s))
        QSKIP("no /dev/zero here");
    QCOMPARE(RunProgram(), 1);
    QCOMPARE(Dialogs::asked().size(), 1);
    const QString text = Dialogs::asked().first().text;
    QVERIFY2(text.startsWith(u"Не удалось прочитать "_s + which + u'\n'), qPrintable(text));
    QVERIFY2(text.contains(named.startsWith(u'/') ? named : QDir::toNativeSeparators(dir.filePath(named))),
        qPrintable(text));
    QVERIFY2(!text.contains(u"No such file"_s), qPrintable(text));
    QVERIFY(WAMainForm == nullptr);
    QVERIFY(LabelForm == nullptr);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
