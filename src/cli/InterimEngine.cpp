#include "InterimEngine.h"

#include "exchange/TextCodec.h"

#include <QEventLoop>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

namespace {

QByteArray bytes(const QString &text)
{
    return TextCodec::toBytes(text);
}

} // namespace

InterimEngine::InterimEngine()
{
    m_id.clientId = QByteArray::number(QRandomGenerator::global()->bounded(1000000));
}

void InterimEngine::SetServerAddress(const QString &host, const QString &port, const QString &workstation)
{
    m_host = host;
    m_port = port;
    m_id.workstation = bytes(workstation);
}

int InterimEngine::run(QByteArrayView command, const QByteArray &arguments, QStringList &answer, bool resource)
{
    if (m_running)
        return 7;
    m_running = true;
    m_abandon = false;
    m_command = command.toByteArray();
    m_id.sequence = Wire::nextSequence(m_id.sequence);
    m_pressCounter = 1;
    const QByteArray request = Wire::requestHeader(m_id, command) + arguments;

    QTcpSocket socket;
    QByteArray received;
    QEventLoop loop;
    bool closed = false;
    QObject::connect(&socket, &QTcpSocket::connected, &socket,
        [&] { socket.write(Wire::frameDirect(command, request)); });
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [&] { received += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, [&] {
        received += socket.readAll();
        closed = true;
        loop.quit();
    });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, [&](QAbstractSocket::SocketError e) {
        if (e != QAbstractSocket::RemoteHostClosedError)
            loop.quit();
    });
    QTimer tick;
    int ticks = 0;
    tick.setInterval(100);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (m_tickHook)
            m_tickHook(++ticks);
        if (m_abandon)
            loop.quit();
    });
    tick.start();
    socket.connectToHost(m_host, quint16(Wire::portNumber(bytes(m_port))));
    loop.exec();
    m_running = false;

    answer.clear();
    if (!closed || m_abandon)
        return 2;
    const Wire::Answer checked = Wire::processAnswer(received, { m_id.clientId, m_id.sequence, false });
    if (checked.verdict != Wire::Verdict::Accepted || checked.lines.size() < Wire::kAnswerHeaderLines)
        return 2;
    QList<QByteArrayView> lines = checked.lines.mid(Wire::kAnswerHeaderLines);
    QByteArray decoded;
    if (resource) {
        decoded = lines.isEmpty() ? QByteArray() : lines.first().toByteArray();
        Wire::DecodeLineBreaks(decoded);
        lines = Wire::splitLines(decoded);
    }
    for (QByteArrayView line : lines)
        answer.append(TextCodec::toText(line));
    return 1;
}

void InterimEngine::TerminatorButtonClick()
{
    if (!m_running)
        return;
    const QByteArray message = Wire::cancelMessage(m_id, m_command, m_pressCounter >= 2);
    QTcpSocket stop;
    stop.connectToHost(m_host, quint16(Wire::portNumber(bytes(m_port))));
    if (stop.waitForConnected(2000)) {
        stop.write(message);
        stop.waitForBytesWritten(2000);
        stop.disconnectFromHost();
    }
    if (m_pressCounter > 2) {
        m_pressCounter = 1;
        m_abandon = true;
    } else {
        ++m_pressCounter;
    }
}

int InterimEngine::RegisterClient(
    const QString &userName, const QString &password, const QString &workstation, QStringList &answer)
{
    m_id.sequence = "0";
    m_id.workstation = bytes(workstation);
    m_id.password = bytes(password);
    m_id.userName = bytes(userName);
    return run("A", bytes(userName) + '\n' + bytes(password), answer);
}

int InterimEngine::UnregisterClient(const QString &userName, QStringList &answer)
{
    return run("B", bytes(userName), answer);
}
int InterimEngine::GetDatabaseInfo(const QString &dbName, QStringList &answer)
{
    return run("0", bytes(dbName), answer);
}
int InterimEngine::ReadResource(int pathCode, const QString &dbName, const QString &fileName, QStringList &answer)
{
    return run("L", QByteArray::number(pathCode) + '.' + bytes(dbName) + '.' + bytes(fileName), answer, true);
}
int InterimEngine::ActualizeDatabase(const QString &dbName, int mfn, QStringList &answer)
{
    return run("F", bytes(dbName) + '\n' + QByteArray::number(mfn), answer);
}
int InterimEngine::CreateDatabase(const QString &name, const QString &description, bool flag, QStringList &answer)
{
    return run("T", bytes(name) + '\n' + bytes(description) + '\n' + (flag ? '1' : '0'), answer);
}
int InterimEngine::DeleteDatabase(const QString &dbName, QStringList &answer)
{
    return run("W", bytes(dbName), answer);
}
int InterimEngine::ClearDatabase(const QString &dbName, QStringList &answer)
{
    return run("S", bytes(dbName), answer);
}
int InterimEngine::ReorganizeInvertedFile(const QString &dbName, QStringList &answer)
{
    return run("Y", bytes(dbName), answer);
}
int InterimEngine::ReorganizeMasterFile(const QString &dbName, QStringList &answer)
{
    return run("X", bytes(dbName), answer);
}
int InterimEngine::LoadInvertedFile(const QString &dbName, QStringList &answer)
{
    return run("Z", bytes(dbName), answer);
}
int InterimEngine::UnlockRecords(const QString &dbName, const QList<qint32> &mfns, QStringList &answer)
{
    QByteArray args = bytes(dbName);
    for (qint32 mfn : mfns)
        args += '\n' + QByteArray::number(mfn);
    return run("Q", args, answer);
}
int InterimEngine::UnlockDatabase(const QString &dbName, QStringList &answer)
{
    return run("U", bytes(dbName), answer);
}
int InterimEngine::RestartServer(QStringList &answer)
{
    return run("+8", QByteArray(), answer);
}
int InterimEngine::GetRegisteredClients(QStringList &answer)
{
    return run("+1", QByteArray(), answer);
}
int InterimEngine::GetClientList(QStringList &answer)
{
    return run("+9", QByteArray(), answer);
}
int InterimEngine::SaveClientList(const QStringList &lines, QStringList &answer)
{
    QByteArray args;
    for (const QString &line : lines)
        args += bytes(line) + "\r\n";
    return run("+7", args, answer);
}
int InterimEngine::GetProcessList(QStringList &answer)
{
    return run("+3", QByteArray(), answer);
}
int InterimEngine::DeleteRegisteredClient(const QString &clientId, QStringList &answer)
{
    return run("+6", bytes(clientId), answer);
}
int InterimEngine::StopProcess(
    const QString &clientId, const QString &commandCode, const QString &processNumber, QStringList &answer)
{
    return run("+4", bytes(clientId) + '\n' + bytes(commandCode) + '\n' + bytes(processNumber), answer);
}
int InterimEngine::GetServerVersion(QStringList &answer)
{
    return run("1", QByteArray(), answer);
}

int InterimEngine::ReadResourceCached(int pathCode, const QString &dbName, const QString &fileName, QStringList &answer)
{
    const QString key = (QString::number(pathCode) + u'.' + dbName + u'.' + fileName).toUpper();
    if (m_cache.contains(key)) {
        answer = m_cache.value(key);
        return 1;
    }
    const int result = ReadResource(pathCode, dbName, fileName, answer);
    if (result == 1)
        m_cache.insert(key, answer);
    if (answer.size() == 1 && answer.first().isEmpty())
        answer.clear();
    return result;
}

int ConnectToServer(InterimEngine &engine, const QString &host, const QString &port, const QString &workstation,
    QStringList &answer, const QString &password, const QString &userName)
{
    engine.SetServerAddress(host, port, workstation);
    const int result = engine.RegisterClient(userName, password, workstation, answer);
    if (result == 1 && answer.size() > 1 && answer.first() == QLatin1StringView("0"))
        answer.removeAt(1);
    return result;
}
