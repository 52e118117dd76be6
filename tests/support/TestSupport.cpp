#include "TestSupport.h"

#include "exchange/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

ScopedWorkDir::ScopedWorkDir() : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

ScopedWorkDir::~ScopedWorkDir()
{
    QDir::setCurrent(m_previous);
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
