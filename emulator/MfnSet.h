#pragma once

#include <QByteArray>
#include <QList>

#include <optional>
#include <utility>

// A set of record numbers kept as sorted, disjoint ranges, so a million deleted records of a
// generated database cost one range. Its text form is "1,5,7-9".
class MfnSet
{
public:
    using Range = std::pair<qint32, qint32>;

    static std::optional<MfnSet> fromText(QByteArrayView text);
    static MfnSet fromRange(qint32 first, qint32 last);

    QByteArray toText() const;
    // The numbers in ascending order separated by the encoded line break 0x1F 0x1E, as one line
    // of the database information answer.
    QByteArray toWireLine() const;

    bool isEmpty() const { return m_ranges.isEmpty(); }
    qint64 count() const;
    bool contains(qint32 mfn) const;
    void clear() { m_ranges.clear(); }
    void insert(qint32 mfn) { insertRange(mfn, mfn); }
    void insertRange(qint32 first, qint32 last);
    void remove(QList<qint32> mfns);
    // Drops every number above the given one.
    void truncate(qint32 maxMfn);
    const QList<Range> &ranges() const { return m_ranges; }

    friend bool operator==(const MfnSet &a, const MfnSet &b) { return a.m_ranges == b.m_ranges; }

private:
    void normalize();

    QList<Range> m_ranges;
};
