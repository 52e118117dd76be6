#include "ServerBook.h"

#include "IniDocument.h"
#include "exchange/WireFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

using namespace Qt::Literals::StringLiterals;

namespace {

// Far more than any list of servers; a larger file is not one.
constexpr qint64 kMaxBookBytes = 1 << 20;
constexpr qsizetype kMaxName = 64;

bool hasControl(QStringView text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            return true;
    return false;
}

bool hasBlank(QStringView text)
{
    for (const QChar c : text)
        if (c.isSpace())
            return true;
    return false;
}

// Why a saved name cannot be used; empty when it can.
QString nameProblem(const QString &name)
{
    if (name.isEmpty())
        return u"имя не указано"_s;
    if (name.size() > kMaxName)
        return u"имя длиннее %1 знаков"_s.arg(kMaxName);
    if (name != name.trimmed())
        return u"имя начинается или кончается пробелом"_s;
    if (hasControl(name))
        return u"в имени управляющий знак"_s;
    for (const QChar c : u"[]=:"_s)
        if (name.contains(c))
            return u"в имени знак «%1»"_s.arg(c);
    return {};
}

// A host name or address that ssh and the socket take as one word and never as an option.
QString hostProblem(const QString &host, const QString &what)
{
    if (host.isEmpty())
        return what + u" не указан"_s;
    if (host.size() > 255)
        return what + u" длиннее 255 знаков"_s;
    if (hasBlank(host) || hasControl(host))
        return what + u" содержит пробел или управляющий знак"_s;
    if (host.startsWith(u'-'))
        return what + u" начинается со знака «-»"_s;
    for (const QChar c : u"[]/@"_s)
        if (host.contains(c))
            return what + u" содержит знак «%1»"_s.arg(c);
    return {};
}

QString portProblem(const QString &port, const QString &what)
{
    bool digits = !port.isEmpty() && port.size() <= 5;
    for (const QChar c : port)
        digits = digits && c >= u'0' && c <= u'9';
    const int n = digits ? port.toInt() : 0;
    if (n < 1 || n > 65535)
        return what + u" — не число от 1 до 65535"_s;
    return {};
}

QString sshHostProblem(const QString &sshHost)
{
    const qsizetype at = sshHost.lastIndexOf(u'@');
    if (at >= 0) {
        const QString user = sshHost.left(at);
        if (user.isEmpty())
            return u"в шлюзе SSH пустое имя пользователя перед «@»"_s;
        if (user.startsWith(u'-') || hasBlank(user) || hasControl(user))
            return u"имя пользователя шлюза SSH содержит пробел или начинается со знака «-»"_s;
    }
    return hostProblem(sshHost.mid(at + 1), u"узел шлюза SSH"_s);
}

QString identityProblem(const QString &path)
{
    if (hasControl(path))
        return u"в пути к файлу ключа управляющий знак"_s;
    if (path != path.trimmed())
        return u"путь к файлу ключа начинается или кончается пробелом"_s;
    return {};
}

// Everything about an entry but its name.
QString addressProblem(const ServerEntry &e, ServerField *field = nullptr)
{
    ServerField at = ServerField::Host;
    QString problem = hostProblem(e.host, u"адрес сервера"_s);
    if (problem.isEmpty()) {
        at = ServerField::Port;
        problem = portProblem(e.port, u"порт сервера"_s);
    }
    if (problem.isEmpty() && e.hasTunnel()) {
        at = ServerField::SshHost;
        problem = sshHostProblem(e.sshHost);
    }
    if (problem.isEmpty() && !e.sshPort.isEmpty()) {
        at = e.hasTunnel() ? ServerField::SshPort : ServerField::SshHost;
        problem = e.hasTunnel() ? portProblem(e.sshPort, u"порт SSH"_s) : u"порт SSH указан без шлюза SSH"_s;
    }
    if (problem.isEmpty() && !e.sshIdentity.isEmpty()) {
        at = e.hasTunnel() ? ServerField::SshIdentity : ServerField::SshHost;
        problem = e.hasTunnel() ? identityProblem(e.sshIdentity) : u"файл ключа указан без шлюза SSH"_s;
    }
    if (field && !problem.isEmpty())
        *field = at;
    return problem;
}

qsizetype indexOfName(const QList<ServerEntry> &servers, const QString &name)
{
    for (qsizetype i = 0; i < servers.size(); ++i)
        if (sameServerName(servers.at(i).name, name))
            return i;
    return -1;
}

} // namespace

ServerEntry localSettingsServer(const IniDocument &settings)
{
    ServerEntry e;
    e.host = settings.readString(u"Main"_s, u"ServerIP"_s, u"127.0.0.1"_s);
    e.port = settings.readString(u"Main"_s, u"ServerPort"_s, u"6666"_s);
    return e;
}

QString serverAddressText(const ServerEntry &entry)
{
    const QString host = entry.host.contains(u':') ? u'[' + entry.host + u']' : entry.host;
    return host + u':' + entry.port;
}

QString serverDisplayText(const ServerEntry &entry)
{
    QString text
        = (entry.isLocalSettings() ? u"Ctulvaa.ini"_s : entry.name) + u" — "_s + serverAddressText(entry);
    if (entry.hasTunnel())
        text += u" через SSH "_s + entry.sshHost;
    return text;
}

QString sessionTitle(const QString &userName, const ServerEntry &entry)
{
    const QString where = entry.isLocalSettings() ? serverAddressText(entry) : entry.name + u':' + entry.port;
    return userName + u'@' + where;
}

SshTunnelSettings tunnelSettingsOf(const ServerEntry &entry)
{
    SshTunnelSettings sshSettings;
    sshSettings.sshHost = entry.sshHost;
    sshSettings.sshPort = entry.sshPort;
    sshSettings.identityFile = entry.sshIdentity;
    sshSettings.targetHost = entry.host;
    sshSettings.targetPort = quint16(Wire::portNumber(entry.port.toLatin1()));
    return sshSettings;
}

QString checkServerEntry(const ServerEntry &entry, ServerField *field)
{
    QString problem = nameProblem(entry.name);
    if (!problem.isEmpty() && field)
        *field = ServerField::Name;
    if (problem.isEmpty())
        problem = addressProblem(entry, field);
    if (!problem.isEmpty())
        problem[0] = problem.at(0).toUpper();
    return problem.isEmpty() ? problem : problem + u'.';
}

bool sameServerName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// --- the file -------------------------------------------------------------------------------------

ServerBook::ServerBook(const QString &path)
    : m_path(path)
{
}

QString ServerBook::defaultPath()
{
    // The generic folder, not one per program: the workstation and tulvaa-cli share the book.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/tulvaa/servers.ini"_s;
}

ServerBook::Content ServerBook::parse(QByteArrayView bytes)
{
    Content c;
    auto bad = [&c](int line, const QString &problem) {
        if (c.badLine == 0) {
            c.badLine = line;
            c.problem = problem;
        }
    };
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);

    // Keys met in the section being read, and where it began.
    int sectionLine = 0;
    QStringList keysSeen;
    auto endSection = [&] {
        if (sectionLine == 0 || c.badLine)
            return;
        const ServerEntry &e = c.servers.last();
        if (!keysSeen.contains(u"host"_s))
            bad(sectionLine, u"у сервера «%1» нет ключа Host"_s.arg(e.name));
        else if (const QString problem = addressProblem(e); !problem.isEmpty())
            bad(sectionLine, u"сервер «%1»: %2"_s.arg(e.name, problem));
    };

    int lineNo = 0;
    qsizetype pos = 0;
    while (pos < bytes.size() && c.badLine == 0) {
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            end = bytes.size();
        QByteArrayView raw = bytes.sliced(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (raw.contains('\0') || raw.contains('\r')) {
            bad(lineNo, u"в строке нулевой байт или одиночный CR"_s);
            break;
        }
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString line = QString(utf8(raw)).trimmed();
        if (utf8.hasError()) {
            bad(lineNo, u"строка не в кодировке UTF-8"_s);
            break;
        }
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            endSection();
            if (!line.endsWith(u']')) {
                bad(lineNo, u"нет «]» в конце заголовка раздела"_s);
                break;
            }
            ServerEntry e;
            e.name = line.mid(1, line.size() - 2);
            if (const QString problem = nameProblem(e.name); !problem.isEmpty())
                bad(lineNo, problem);
            else if (indexOfName(c.servers, e.name) >= 0)
                bad(lineNo, u"сервер «%1» записан второй раз"_s.arg(e.name));
            c.servers.append(e);
            sectionLine = lineNo;
            keysSeen.clear();
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) {
            bad(lineNo, u"строка не раздел и не «ключ=значение»"_s);
            break;
        }
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1).trimmed();
        if (sectionLine == 0) {
            if (key != u"lastserver") {
                bad(lineNo, u"до первого раздела допустим только ключ LastServer"_s);
                break;
            }
            c.lastServer = value;
            continue;
        }
        if (keysSeen.contains(key)) {
            bad(lineNo, u"ключ %1 повторён"_s.arg(line.left(eq).trimmed()));
            break;
        }
        keysSeen.append(key);
        ServerEntry &e = c.servers.last();
        if (key == u"host")
            e.host = value;
        else if (key == u"port")
            e.port = value;
        else if (key == u"sshhost")
            e.sshHost = value;
        else if (key == u"sshport")
            e.sshPort = value;
        else if (key == u"sshidentity")
            e.sshIdentity = value;
        else if (key.contains(u"password") || key.contains(u"passwd") || key == u"pw")
            bad(lineNo, u"пароль в списке серверов не хранится"_s);
        else
            bad(lineNo, u"неизвестный ключ %1"_s.arg(line.left(eq).trimmed()));
    }
    endSection();
    if (c.badLine)
        c.servers.clear();
    return c;
}

QByteArray ServerBook::serialize(const Content &content)
{
    QString text = u"# Servers saved by tulvaa and tulvaa-cli: one section per server, never a password.\n"_s;
    if (!content.lastServer.isEmpty())
        text += u"LastServer="_s + content.lastServer + u'\n';
    for (const ServerEntry &e : content.servers) {
        text += u"\n["_s + e.name + u"]\nHost="_s + e.host + u"\nPort="_s + e.port + u'\n';
        if (e.hasTunnel()) {
            text += u"SshHost="_s + e.sshHost + u'\n';
            if (!e.sshPort.isEmpty())
                text += u"SshPort="_s + e.sshPort + u'\n';
            if (!e.sshIdentity.isEmpty())
                text += u"SshIdentity="_s + e.sshIdentity + u'\n';
        }
    }
    return text.toUtf8();
}

bool ServerBook::readFile(Content *content, QString *error) const
{
    *content = Content();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"Не удалось прочитать список серверов %1: %2."_s.arg(
            QDir::toNativeSeparators(m_path), file.errorString());
        return false;
    }
    if (file.size() > kMaxBookBytes) {
        *error = u"Список серверов %1 больше %2 байт: это не список серверов."_s
                     .arg(QDir::toNativeSeparators(m_path))
                     .arg(kMaxBookBytes);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = u"Не удалось прочитать список серверов %1: %2."_s.arg(
            QDir::toNativeSeparators(m_path), file.errorString());
        return false;
    }
    *content = parse(bytes);
    if (content->badLine) {
        *error = u"Список серверов %1 повреждён: строка %2: %3."_s.arg(QDir::toNativeSeparators(m_path))
                     .arg(content->badLine)
                     .arg(content->problem);
        return false;
    }
    return true;
}

bool ServerBook::writeFile(const Content &content, QString *error) const
{
    const QByteArray bytes = serialize(content);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()
        || !file.commit()) {
        *error = u"Не удалось записать список серверов %1: %2."_s.arg(
            QDir::toNativeSeparators(m_path), file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

bool ServerBook::load()
{
    m_error.clear();
    return readFile(&m_content, &m_error);
}

const ServerEntry *ServerBook::find(const QString &name) const
{
    const qsizetype i = indexOfName(m_content.servers, name);
    return i < 0 ? nullptr : &m_content.servers.at(i);
}

bool ServerBook::change(const std::function<QString(Content &, bool *)> &edit)
{
    m_error.clear();
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        m_error = u"Не удалось создать папку %1 для списка серверов."_s.arg(QDir::toNativeSeparators(folder));
        return false;
    }
    // The lock spans reading and writing: a change made by another program between the two
    // would otherwise be written over.
    QLockFile lock(m_path + u".lock"_s);
    if (!lock.tryLock(m_lockTimeoutMs)) {
        m_error = u"Список серверов %1 занят другой программой (файл %2.lock)."_s.arg(
            QDir::toNativeSeparators(m_path), QDir::toNativeSeparators(m_path));
        return false;
    }
    Content fresh;
    if (!readFile(&fresh, &m_error)) {
        // A damaged book is never written over: what the user wrote there by hand stays.
        m_content = fresh;
        return false;
    }
    bool write = true;
    m_error = edit(fresh, &write);
    if (!m_error.isEmpty()) {
        m_content = fresh;
        return false;
    }
    if (write) {
        Content before;
        QString ignored;
        if (!writeFile(fresh, &m_error)) {
            readFile(&before, &ignored);
            m_content = before;
            return false;
        }
    }
    m_content = fresh;
    return true;
}

bool ServerBook::add(const ServerEntry &entry)
{
    if (const QString problem = checkServerEntry(entry); !problem.isEmpty()) {
        m_error = problem;
        return false;
    }
    return change([&entry](Content &c, bool *) {
        if (indexOfName(c.servers, entry.name) >= 0)
            return u"Сервер с именем «%1» уже есть в списке."_s.arg(entry.name);
        c.servers.append(entry);
        return QString();
    });
}

bool ServerBook::replace(const QString &name, const ServerEntry &entry)
{
    if (const QString problem = checkServerEntry(entry); !problem.isEmpty()) {
        m_error = problem;
        return false;
    }
    return change([&name, &entry](Content &c, bool *write) {
        const qsizetype at = indexOfName(c.servers, name);
        if (at < 0)
            return u"Сервера «%1» больше нет в списке: его удалила другая программа."_s.arg(name);
        const qsizetype other = indexOfName(c.servers, entry.name);
        if (other >= 0 && other != at)
            return u"Сервер с именем «%1» уже есть в списке."_s.arg(entry.name);
        if (c.servers.at(at) == entry) {
            *write = false;
            return QString();
        }
        c.servers[at] = entry;
        if (sameServerName(c.lastServer, name))
            c.lastServer = entry.name;
        return QString();
    });
}

bool ServerBook::remove(const QString &name)
{
    return change([&name](Content &c, bool *write) {
        const qsizetype at = indexOfName(c.servers, name);
        if (at < 0) {
            *write = false; // already gone
            return QString();
        }
        c.servers.removeAt(at);
        if (sameServerName(c.lastServer, name))
            c.lastServer.clear();
        return QString();
    });
}

bool ServerBook::setLastServer(const QString &name)
{
    // Nothing to remember about the Ctulvaa.ini entry in a book that does not exist: the
    // program does not make files that are not needed.
    if (name.isEmpty() && !QFile::exists(m_path)) {
        m_error.clear();
        m_content = Content();
        return true;
    }
    return change([&name](Content &c, bool *write) {
        *write = !(c.lastServer == name);
        c.lastServer = name;
        return QString();
    });
}
