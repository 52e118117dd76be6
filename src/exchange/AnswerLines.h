#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <iterator>

// The lines of a server answer as they were received: the bytes, kept once, with an index of
// where each line lies. A line becomes text (Windows-1251 decoded) only when it is read, so an
// answer of a few huge lines costs no more than its bytes. Reads like a QStringList and converts
// to one where a `const QStringList &` is expected (that builds the full text once).
class AnswerLines
{
public:
    AnswerLines() = default;
    AnswerLines(const QStringList &lines) { assign(lines); }
    AnswerLines &operator=(const QStringList &lines)
    {
        assign(lines);
        return *this;
    }

    // Takes the buffer and the lines lying in it (views into buffer); lines lying elsewhere
    // are copied.
    void assign(QByteArray &&buffer, const QList<QByteArrayView> &lines);
    // The same for lines as Wire::splitLines cuts them: a run of consecutive lines of one text in
    // buffer. Only every 64th line's place is kept; the others are found again by walking from
    // there, so a million-line answer costs its bytes and a few kilobytes. Anything else is
    // taken as assign() takes it.
    void assignSplit(QByteArray &&buffer, const QList<QByteArrayView> &lines);
    void assign(const QStringList &lines);
    void clear();

    qsizetype size() const { return m_text ? m_list.size() : m_walk ? m_count : m_index.size(); }
    qsizetype count() const { return size(); }
    qsizetype length() const { return size(); }
    bool isEmpty() const { return size() == 0; }
    QString at(qsizetype i) const;
    QString operator[](qsizetype i) const { return at(i); }
    QString first() const { return at(0); }
    QString last() const { return at(size() - 1); }
    QString value(qsizetype i, const QString &fallback = QString()) const
    {
        return i >= 0 && i < size() ? at(i) : fallback;
    }
    QStringList mid(qsizetype pos, qsizetype length = -1) const;
    bool contains(const QString &text) const;
    qsizetype indexOf(const QString &text, qsizetype from = 0) const;
    QString join(const QString &separator) const { return toStringList().join(separator); }
    void removeAt(qsizetype i);

    // The raw bytes of line i (empty when out of range); valid until the list changes.
    QByteArrayView bytesAt(qsizetype i) const;
    // Where line i lies in the bytes as they were received; -1 for a line made from a text.
    qsizetype receivedOffset(qsizetype i) const;
    // Bytes held for the answer (0 for a list made from texts).
    qsizetype byteSize() const { return m_bytes.size(); }

    const QStringList &toStringList() const;
    operator const QStringList &() const { return toStringList(); }

    bool operator==(const QStringList &other) const;
    bool operator!=(const QStringList &other) const { return !(*this == other); }
    bool operator==(const AnswerLines &other) const { return toStringList() == other.toStringList(); }

    class const_iterator
    {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = QString;
        using difference_type = qsizetype;
        using pointer = void;
        using reference = QString;
        const_iterator() = default;
        const_iterator(const AnswerLines *lines, qsizetype i)
            : m_lines(lines)
            , m_i(i)
        {
        }
        QString operator*() const { return m_lines->at(m_i); }
        QString operator[](qsizetype n) const { return m_lines->at(m_i + n); }
        const_iterator &operator++()
        {
            ++m_i;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator old = *this;
            ++m_i;
            return old;
        }
        const_iterator &operator--()
        {
            --m_i;
            return *this;
        }
        const_iterator &operator+=(qsizetype n)
        {
            m_i += n;
            return *this;
        }
        const_iterator operator+(qsizetype n) const { return { m_lines, m_i + n }; }
        const_iterator operator-(qsizetype n) const { return { m_lines, m_i - n }; }
        qsizetype operator-(const_iterator other) const { return m_i - other.m_i; }
        bool operator==(const const_iterator &other) const { return m_i == other.m_i; }
        bool operator!=(const const_iterator &other) const { return m_i != other.m_i; }
        bool operator<(const const_iterator &other) const { return m_i < other.m_i; }

    private:
        const AnswerLines *m_lines = nullptr;
        qsizetype m_i = 0;
    };
    const_iterator begin() const { return { this, 0 }; }
    const_iterator end() const { return { this, size() }; }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

private:
    // 8 bytes a line: the index of a million-line answer stays small beside its bytes.
    struct Span
    {
        quint32 offset;
        quint32 length;
    };
    static constexpr qsizetype kMarkEvery = 64;
    static constexpr qsizetype kFullIndexUpTo = 4096;
    quint32 lineEnd(quint32 start) const;
    quint32 nextStart(quint32 end) const;
    void indexAll(); // from walked lines to one index entry a line

    QByteArray m_bytes;
    QList<Span> m_index;
    // Walked lines: m_count lines, one after another up to m_end, line k * 64 starting at m_marks[k].
    bool m_walk = false;
    qsizetype m_count = 0;
    quint32 m_end = 0;
    QList<quint32> m_marks;
    // The line read last, so that reading in order walks each line once.
    mutable qsizetype m_cursorLine = -1;
    mutable quint32 m_cursorStart = 0;
    mutable quint32 m_cursorEnd = 0;
    bool m_text = false; // made from texts: m_list holds the lines
    bool m_inReceived = false; // the lines lie in the received bytes, at their places
    mutable QStringList m_list; // the texts; for byte lines built on demand
    mutable bool m_listBuilt = false;
    mutable QByteArrayList m_encoded; // lines made from texts, as bytes, when asked for
};

// Sees the lines of an answer while its bytes arrive, for work that need not wait for the last
// byte (the MFN lists of the open step). What it makes is only a head start: the caller uses it
// only for lines that the accepted answer holds at the same place with the same length.
class AnswerStream
{
public:
    virtual ~AnswerStream() = default;
    // A new attempt begins: what was seen so far is void.
    virtual void restart() = 0;
    // Line `line` of the received text (0 is the first line of the answer header) has grown:
    // `bytes` is all of it so far, starting at `offset` in the received bytes; `complete` once
    // its line break is in.
    virtual void lineGrows(qsizetype line, qsizetype offset, QByteArrayView bytes, bool complete) = 0;
};

// Where an operation puts its answer lines: a plain list or an AnswerLines.
class AnswerOut
{
public:
    AnswerOut(QStringList &list)
        : m_list(&list)
    {
    }
    AnswerOut(AnswerLines &lines)
        : m_lines(&lines)
    {
    }
    // Takes the received buffer and the lines lying in it, as Wire::splitLines cut them.
    void take(QByteArray &&buffer, const QList<QByteArrayView> &lines);
    void set(const QStringList &lines);
    void clear();
    qsizetype size() const { return m_list ? m_list->size() : m_lines->size(); }
    QString first() const { return m_list ? m_list->first() : m_lines->first(); }
    void removeAt(qsizetype i);

private:
    QStringList *m_list = nullptr;
    AnswerLines *m_lines = nullptr;
};
