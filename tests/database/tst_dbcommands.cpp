// The database menu's commands that create, delete and unlock, against a scripted server: what
// is sent, what the administrator is told, and the dialogs driven through the window system.
#include "ShellFixture.h"
#include "database/LockList.h"
#include "database/Mfn.h"
#include "database/Newdb.h"
#include "database/Opendb.h"
#include "shell/Messages.h"
#include "shell/StringGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kEnd = u"*****"_s;

QString mfns(const QList<int> &values)
{
    QStringList parts;
    for (int v : values)
        parts.append(QString::number(v));
    return parts.join(u"\x1F\x1E"_s);
}

// Answer of the database information: return code, four MFN lists, max MFN + 1, lock flag.
QStringList info(const QList<int> &locked = {}, int lockFlag = 0)
{
    return { u"0"_s, QString(), QString(), QString(), mfns(locked), u"11"_s, QString::number(lockFlag) };
}

QString statistic(int row)
{
    return WAMainForm->StatisticGrid->cell(1, row);
}

QStringList texts()
{
    QStringList out;
    for (const Dialogs::Asked &a : Dialogs::asked())
        out.append(a.text);
    return out;
}

// Request arguments (the lines after the nine header lines).
QList<QByteArray> arguments(const ScriptedServer::Request &r)
{
    return r.lines.mid(9);
}

// Types text into the focused control of a window as the window system delivers keys.
void typeInto(QWindow *window, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, window, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void clickThroughWindow(QWidget *w)
{
    QTest::mouseClick(
        w->window()->windowHandle(), Qt::LeftButton, {}, w->mapTo(w->window(), w->rect().center()));
}

// Runs the steps once the dialog runs modally, as a person would act on it; done is set by the
// caller's last step.
void whenModal(QDialog *dialog, std::function<void()> steps)
{
    auto *poll = new QTimer(dialog);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, dialog, [poll, dialog, steps] {
        if (QApplication::activeModalWidget() != dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        steps();
        // A check that failed inside the steps returned early: do not leave the test waiting.
        if (dialog->isVisible())
            dialog->reject();
    });
    poll->start();
}

} // namespace

class TestDbCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { f.setUp({ u"USERNAME=ADMIN"_s }); }
    void cleanup() { f.tearDown(); }

    void unlockDatabaseNotLocked();
    void unlockDatabase_data();
    void unlockDatabase();
    void unlockWhileBusy();
    void unlockRecordAsksAgainBeforeNone();
    void unlockRecordByNumber();
    void unlockRecordOutOfRange();

private:
    // Fills the selection list as the list read would and opens the row of `current`.
    void openFrom(const QStringList &names, const QString &current, const QStringList &infoAnswer);
    ShellFixture f;
};

void TestDbCommands::openFrom(const QStringList &names, const QString &current, const QStringList &infoAnswer)
{
    QStringList lines;
    for (const QString &n : names)
        lines << n << (u"Описание "_s + n);
    f.server->addScript(
        { ScriptedServer::reply({ ShellFixture::resourceLine(lines + QStringList{ kEnd }) }) });
    OpenDbForm->ReloadDatabaseList(TOpenDbForm::ListRead::AfterChange);
    OpenDbForm->DBStringGrid->setRow(OpenDbForm->rowOfDatabase(current));
    f.answer(infoAnswer);
    OpenDbForm->OpenSelectedDatabase();
    QCOMPARE(CurrentDbName, current);
}

void TestDbCommands::unlockDatabaseNotLocked()
{
    openFrom({ u"IBIS"_s, u"ARCHIV"_s }, u"ARCHIV"_s, info());
    const int before = f.server->connectionCount();
    WAMainForm->UnlockDBItem->trigger();
    QCOMPARE(f.server->connectionCount(), before);
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text, u"ARCHIV - msg 421"_s);
    QCOMPARE(Dialogs::asked().first().caption, u"msg 138"_s);
    QCOMPARE(Dialogs::asked().first().icon, Dialogs::Icon::Warning);
}

void TestDbCommands::unlockDatabase_data()
{
    QTest::addColumn<QString>("unlockAnswer");
    QTest::addColumn<int>("lockAfterwards");
    QTest::addColumn<QStringList>("told");
    const QString done = u"База данных ARCHIV разблокирована успешно"_s;
    const QString failed = u"Базу данных ARCHIV разблокировать не удалось"_s;
    QTest::newRow("unlocked") << u"0"_s << 0 << QStringList{ done };
    QTest::newRow("server still reports the lock") << u"0"_s << 1 << QStringList{ done, failed };
    QTest::newRow("server refuses") << u"-4001"_s << 1 << QStringList{ failed };
    // A refusal followed by a free database: the server has the last word, nothing to report.
    QTest::newRow("refused, yet free") << u"-4001"_s << 0 << QStringList{};
}

void TestDbCommands::unlockDatabase()
{
    QFETCH(QString, unlockAnswer);
    QFETCH(int, lockAfterwards);
    QFETCH(QStringList, told);

    openFrom({ u"IBIS"_s, u"ARCHIV"_s }, u"ARCHIV"_s, info({}, 1));
    QCOMPARE(statistic(4), Msg(42));
    const int before = f.server->connectionCount();
    f.answer({ unlockAnswer });
    f.answer(info({}, lockAfterwards));
    WAMainForm->UnlockDBItem->trigger();

    QCOMPARE(f.server->connectionCount(), before + 2);
    const ScriptedServer::Request unlock = f.server->request(before);
    QCOMPARE(unlock.command, "U"_ba);
    QCOMPARE(arguments(unlock), QList<QByteArray>{ "ARCHIV"_ba });
    QCOMPARE(f.server->request(before + 1).command, "0"_ba);
    QCOMPARE(texts(), told);
    QCOMPARE(DatabaseLocked, quint8(lockAfterwards));
    QCOMPARE(statistic(4), lockAfterwards ? Msg(42) : u"Нет"_s);
}

void TestDbCommands::unlockWhileBusy()
{
    openFrom({ u"ARCHIV"_s }, u"ARCHIV"_s, info({ 4 }, 1));
    WaitForm->setShowDelay(0);
    // A refresh is waiting for its answer when the administrator picks the commands.
    f.server->addScript(
        { ScriptedServer::delay(600), ScriptedServer::reply(ShellFixture::lines(info({ 4 }, 1))) });
    bool picked = false;
    QTimer::singleShot(200, [&] {
        WAMainForm->UnlockDBItem->trigger();
        WAMainForm->UnLockListItem->trigger();
        picked = true;
    });
    const int before = f.server->connectionCount();
    WAMainForm->RestatItemClick();
    QTRY_VERIFY(picked);
    // Neither command starts: the picker would otherwise find the lists emptied by the refresh
    // and report that no record is locked.
    QCOMPARE(f.server->connectionCount(), before + 1);
    const QString busy = u"Предыдущий запрос к серверу ещё выполняется. Повторите команду позже."_s;
    QCOMPARE(texts(), (QStringList{ busy, busy }));
    QCOMPARE(Dialogs::asked().value(0).caption, u"Внимание!"_s);
    QCOMPARE(statistic(5), u"1"_s);
}

void TestDbCommands::unlockRecordAsksAgainBeforeNone()
{
    openFrom({ u"RDR"_s }, u"RDR"_s, info());
    QVERIFY(LockedMfns.isEmpty());
    const int before = f.server->connectionCount();
    f.answer(info());
    bool dialogShown = false;
    Dialogs::setModalHandler([&](QDialog *) {
        dialogShown = true;
        return int(QDialog::Rejected);
    });
    WAMainForm->UnlockrecordItem->trigger();
    QCOMPARE(f.server->connectionCount(), before + 1);
    QCOMPARE(f.server->request(before).command, "0"_ba);
    QVERIFY(!dialogShown);
    QCOMPARE(texts(), QStringList{ u"msg 844"_s });
    QCOMPARE(Dialogs::asked().first().icon, Dialogs::Icon::Information);

    // A record locked since the last refresh is found by that second look.
    f.answer(info({ 9 }));
    WAMainForm->UnLockListItem->trigger();
    QVERIFY(dialogShown);
    QCOMPARE(LockedMfns, QList<qint32>{ 9 });
}

void TestDbCommands::unlockRecordByNumber()
{
    openFrom({ u"IBIS"_s, u"RDR"_s }, u"RDR"_s, info({ 5, 7 }));
    const int before = f.server->connectionCount();
    f.answer(info({ 5, 7 }));
    f.answer({ u"0"_s });
    f.answer(info({ 5 }));
    bool done = false;
    whenModal(MFNForm, [&] {
        QWindow *window = MFNForm->windowHandle();
        QCOMPARE(QApplication::focusWidget(), MFNForm->MFNEdit);
        // Letters and signs are dropped as they are typed; Backspace works.
        typeInto(window, u"x7-ж9"_s);
        QCOMPARE(MFNForm->MFNEdit->text(), u"79"_s);
        QTest::keyClick(window, Qt::Key_Backspace);
        QTest::keyClick(window, Qt::Key_Return);
        done = true;
    });
    WAMainForm->UnlockrecordItem->trigger();
    QTRY_VERIFY(done);

    QCOMPARE(MFNForm->windowTitle(), u"msg 425"_s);
    QCOMPARE(f.server->connectionCount(), before + 3);
    QCOMPARE(f.server->request(before).command, "0"_ba);
    const ScriptedServer::Request unlock = f.server->request(before + 1);
    QCOMPARE(unlock.command, "Q"_ba);
    QCOMPARE(arguments(unlock), (QList<QByteArray>{ "RDR"_ba, "7"_ba }));
    QCOMPARE(f.server->request(before + 2).command, "0"_ba);
    QCOMPARE(statistic(5), u"1"_s);
    QVERIFY(Dialogs::asked().isEmpty());

    // Escape, and OK without a number, send nothing; each showing starts empty.
    bool escaped = false;
    whenModal(MFNForm, [&] {
        QCOMPARE(MFNForm->MFNEdit->text(), QString());
        QTest::keyClick(MFNForm->windowHandle(), Qt::Key_Return);
        QVERIFY(MFNForm->isVisible());
        QTest::keyClick(MFNForm->windowHandle(), Qt::Key_Escape);
        escaped = true;
    });
    WAMainForm->UnlockrecordItem->trigger();
    QTRY_VERIFY(escaped);
    QCOMPARE(f.server->connectionCount(), before + 3);
}

void TestDbCommands::unlockRecordOutOfRange()
{
    openFrom({ u"RDR"_s }, u"RDR"_s, info({ 5 }));
    const int before = f.server->connectionCount();
    bool done = false;
    whenModal(MFNForm, [&] {
        QWindow *window = MFNForm->windowHandle();
        typeInto(window, u"99999999999"_s);
        clickThroughWindow(MFNForm->OKBitBtn);
        // Told, and the number stays for the administrator to correct.
        QVERIFY(MFNForm->isVisible());
        QCOMPARE(MFNForm->MFNEdit->text(), u"99999999999"_s);
        QCOMPARE(texts(), QStringList{ TMFNForm::mfnOutOfRangeText(u"99999999999"_s) });
        QCOMPARE(Dialogs::asked().first().caption, u"Внимание!"_s);
        // Pasted text is held to the same rule as typing.
        QGuiApplication::clipboard()->setText(u"12ab"_s);
        QTest::keyClick(window, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(MFNForm->MFNEdit->text(), u"99999999999"_s);
        QGuiApplication::clipboard()->setText(u"0042"_s);
        QTest::keyClick(window, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(MFNForm->MFNEdit->text(), u"0042"_s);
        QTest::keyClick(window, Qt::Key_Escape);
        done = true;
    });
    WAMainForm->UnlockrecordItem->trigger();
    QTRY_VERIFY(done);
    QCOMPARE(f.server->connectionCount(), before);
}

QTEST_MAIN(TestDbCommands)
#include "tst_dbcommands.moc"
