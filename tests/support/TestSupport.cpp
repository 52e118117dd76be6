#include "TestSupport.h"

#include "database/Opendb.h"
#include "exchange/TextCodec.h"
#include "shell/Forms.h"
#include "shell/StringGrid.h"
#include "shell/Wamain.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

ScopedWorkDir::ScopedWorkDir()
    : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

ScopedWorkDir::~ScopedWorkDir()
{
    QDir::setCurrent(m_previous);
}

quint16 closedLoopbackPort()
{
    auto *holder = new QTcpSocket(QCoreApplication::instance());
    if (!holder->bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress))
        qFatal("cannot bind a loopback port");
    return holder->localPort();
}

void whenActive(QDialog *dialog, std::function<void()> act)
{
    auto *poll = new QTimer(dialog);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, dialog, [dialog, poll, act] {
        if (!dialog->isVisible() || QGuiApplication::focusWindow() != dialog->windowHandle())
            return;
        poll->stop();
        poll->deleteLater();
        act();
        if (dialog->isVisible())
            dialog->reject();
    });
    poll->start();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

void writeCp1251File(const QString &path, const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += TextCodec::toBytes(line) + "\r\n";
    writeBytes(path, bytes);
}

QStringList numberedMessages(int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines.append(u"msg "_s + QString::number(i));
    return lines;
}

QString statistic(int row)
{
    return WAMainForm->StatisticGrid->cell(1, row);
}

void openDatabase(const QString &name)
{
    const int row = OpenDbForm->rowOfDatabase(name);
    QVERIFY2(row > 0, qPrintable(name));
    OpenDbForm->DBStringGrid->setRow(row);
    OpenDbForm->OpenSelectedDatabase();
}
