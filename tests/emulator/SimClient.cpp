#include "SimClient.h"

#include "exchange/TextCodec.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace SimClient {

QByteArray requestText(const QByteArray &command, const QByteArrayList &args, const Identity &id)
{
    const QByteArrayList header{ id.workstation, command, id.clientId, id.sequence, id.password, id.user, "",
        "", id.retried ? "1" : "" };
    QByteArray text;
    if (id.retried) {
        for (const QByteArray &line : header + args)
            text += line + "\r\n";
        return text;
    }
    for (const QByteArray &line : header)
        text += line + '\n';
    text += args.join('\n');
    return text;
}

QByteArray direct(const QByteArray &command, const QByteArrayList &args, const Identity &id)
{
    const QByteArray counted = command + '\n' + requestText(command, args, id);
    return QByteArray::number(counted.size()) + '\n' + counted;
}

QByteArray http(const QByteArray &command, const QByteArrayList &args, const Identity &id, quint16 port)
{
    const QByteArray body = command + '\n' + requestText(command, args, id) + "\r\nTULVA_END_REQUEST";
    return "POST /cgi-bin/wwwtulva.exe HTTP/1.1\r\nUser-Agent: ZEMRO/Tulva64\r\nHost: 127.0.0.1:"
        + QByteArray::number(port) + "\r\nAccept: *.*\r\nContent-length: " + QByteArray::number(body.size())
        + "\r\n\r\n" + body;
}

QByteArray cancel(const QByteArray &outstandingCommand, const Identity &id, const QByteArray &flag)
{
    Identity header = id;
    header.retried = false;
    const QByteArray counted = outstandingCommand + '\n' + requestText("4", {}, header);
    return QByteArray::number(counted.size()) + '\n' + counted + '\n' + flag;
}

Exchange exchange(quint16 port, const QByteArray &bytes, int timeoutMs)
{
    Exchange out;
    QTcpSocket socket;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::connected, &loop, [&] {
        out.connected = true;
        socket.write(bytes);
    });
    QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&] { out.data += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, [&] {
        out.data += socket.readAll();
        out.closedByServer = true;
        loop.quit();
    });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, [&](QAbstractSocket::SocketError e) {
        // A close by the server arrives as "disconnected" too; anything else ends the wait.
        if (e != QAbstractSocket::RemoteHostClosedError)
            loop.quit();
    });
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    timer.start(timeoutMs);
    loop.exec();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        out.data += socket.readAll();
    return out;
}

QByteArrayList splitAnswer(QByteArrayView text)
{
    QByteArrayList lines;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char c = text.at(i);
        if (c == '\0')
            break;
        if (c == '\r' || c == '\n') {
            lines.append(text.sliced(start, i - start).toByteArray());
            if (c == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n')
                ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < i)
        lines.append(text.sliced(start, i - start).toByteArray());
    return lines;
}

Answer check(const QByteArray &bytes, const Identity &id)
{
    Answer a;
    QByteArray text = bytes;
    const qsizetype zero = bytes.indexOf('\0');
    const qsizetype marker
        = QByteArrayView(bytes).first(zero < 0 ? bytes.size() : zero).indexOf("TULVA_BINARY_DATA");
    if (marker >= 0) {
        a.binary = bytes.mid(marker + 17);
        text = bytes.left(marker);
    }
    QByteArrayList lines = splitAnswer(text);
    if (lines.size() < 4) {
        a.error = QStringLiteral("fewer than four lines");
        return a;
    }
    if (lines.at(2) != id.sequence || lines.at(1) != id.clientId) {
        a.error = QStringLiteral("header mismatch");
        return a;
    }
    if (!lines.at(3).isEmpty()) {
        bool ok = false;
        qint64 expected = lines.at(3).toLongLong(&ok);
        if (!ok)
            expected = 0;
        if (!a.binary.isEmpty())
            expected -= a.binary.size() + 17;
        QByteArrayList joined = lines;
        joined[3].clear();
        qint64 length = 0;
        for (const QByteArray &line : joined)
            length += line.size() + 2;
        if (length != expected) {
            a.error = QStringLiteral("length mismatch: %1 counted, %2 announced").arg(length).arg(expected);
            return a;
        }
    }
    if (lines.size() < 10) {
        a.error = QStringLiteral("fewer than ten lines");
        return a;
    }
    a.header = lines.mid(0, 10);
    a.body = lines.mid(10);
    a.accepted = true;
    return a;
}

QStringList call(quint16 port, const QByteArray &command, const QStringList &args, const Identity &id)
{
    const Exchange e = exchange(port, direct(command, cp1251(args), id));
    const Answer a = check(e.data, id);
    if (!a.accepted) {
        QTest::qFail(
            qPrintable(
                QStringLiteral("answer to %1 rejected: %2").arg(QString::fromLatin1(command), a.error)),
            __FILE__, __LINE__);
        return {};
    }
    return cp1251(a.body);
}

QByteArray decodeLineBreaks(QByteArray line)
{
    for (char &c : line) {
        if (c == '\x1F')
            c = '\r';
        else if (c == '\x1E')
            c = '\n';
    }
    return line;
}

QStringList cp1251(const QByteArrayList &lines)
{
    return TextCodec::toText(lines);
}

QByteArrayList cp1251(const QStringList &lines)
{
    return TextCodec::toBytes(lines);
}

} // namespace SimClient
