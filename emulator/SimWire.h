#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

// The server's side of the wire: reading a framed request (length line or HTTP POST envelope,
// cancel message included) and building the ten-line answer with its length line.
namespace SimWire {

inline constexpr char kBinaryMarker[] = "TULVA_BINARY_DATA";
inline constexpr char kEndMarker[] = "TULVA_END_REQUEST";
inline constexpr qsizetype kMarkerLength = 17;

struct Request
{
    bool http = false;
    bool cancel = false;
    bool headerComplete = false;
    QByteArray frameCode; // the command code of the framing line (or of the HTTP body)
    QByteArrayList header; // the request header lines, line ends removed (nine when complete)
    QByteArrayList args; // the argument lines, line ends removed
    QByteArray cancelFlag; // the flag after a cancel message; empty until it arrived

    // Header line by its 1-based number; empty when the header is shorter.
    QByteArray line(int number) const;
    QByteArray workstation() const { return line(1); }
    QByteArray command() const { return line(2); }
    QByteArray clientId() const { return line(3); }
    QByteArray sequence() const { return line(4); }
    QByteArray password() const { return line(5); }
    QByteArray userName() const { return line(6); }
    bool retried() const { return line(9) == "1"; }
};

// Splits a request text (everything after the framing's command line) into header lines and
// arguments. Lines end with LF or CR LF. Returns false when the nine header lines are not all
// there; what was found is kept.
bool parseRequestText(QByteArrayView text, Request *request);

// Collects the bytes of one connection until one request is complete.
class RequestReader
{
public:
    enum class State { NeedMore, Complete, Failed };

    explicit RequestReader(qsizetype maxRequest = 16 * 1024 * 1024);

    State feed(QByteArrayView bytes);
    State state() const { return m_state; }
    const Request &request() const { return m_request; }
    QString error() const { return m_error; }
    qsizetype buffered() const { return m_buffer.size(); }

private:
    State parse();
    State parseDirect();
    State parseHttp();
    State finish(QByteArrayView body);
    void takeCancelFlag();
    State fail(const QString &why);

    qsizetype m_max;
    QByteArray m_buffer;
    QByteArray m_extra; // bytes after a counted cancel message: LF and the flag
    State m_state = State::NeedMore;
    int m_mode = 0; // 0 unknown, 1 direct, 2 HTTP
    Request m_request;
    QString m_error;
};

// Turns CR and LF of a text that travels in one answer line into 0x1F and 0x1E. A zero byte
// would end the answer text early on the client, so it becomes a blank.
QByteArray encodeLineBreaks(QByteArray text);

struct AnswerHeader
{
    QByteArray command;
    QByteArray clientId;
    QByteArray sequence;
    QByteArrayList freeLines; // answer lines 5..10; missing ones are empty
};

struct AnswerOptions
{
    qint64 lengthDelta = 0; // added to the true length in line 4 (a fault)
    bool withBinary = false;
    QByteArray binary; // sent after the binary marker
};

// The length in line 4 counts the answer joined with CR LF after every line, line 4 itself
// empty, plus the binary part and its marker (the marker only when a binary part follows).
qint64 answerLength(
    const AnswerHeader &header, const QByteArrayList &body, const AnswerOptions &options = {});
QByteArray buildAnswer(
    const AnswerHeader &header, const QByteArrayList &body, const AnswerOptions &options = {});

// Lines of a text split at CR LF, LF or a lone CR; a final line break makes no empty last line.
QByteArrayList splitLines(QByteArrayView text);

} // namespace SimWire
