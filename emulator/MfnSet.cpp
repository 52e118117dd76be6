#include "MfnSet.h"

#include <algorithm>
#include <charconv>

std::optional<MfnSet> MfnSet::fromText(QByteArrayView text)
{
    MfnSet set;
    const QByteArray trimmed = text.trimmed().toByteArray();
    if (trimmed.isEmpty())
        return set;
    for (const QByteArray &rawPiece : trimmed.split(',')) {
        const QByteArray piece = rawPiece.trimmed();
        if (piece.isEmpty())
            continue;
        const qsizetype dash = piece.indexOf('-');
        bool ok1 = false;
        bool ok2 = false;
        qint32 first = 0;
        qint32 last = 0;
        if (dash < 0) {
            first = last = piece.toInt(&ok1);
            ok2 = ok1;
        } else {
            first = piece.first(dash).trimmed().toInt(&ok1);
            last = piece.mid(dash + 1).trimmed().toInt(&ok2);
        }
        if (!ok1 || !ok2 || first < 1 || last < first)
            return std::nullopt;
        set.m_ranges.append({ first, last });
    }
    set.normalize();
    return set;
}

MfnSet MfnSet::fromRange(qint32 first, qint32 last)
{
    MfnSet set;
    if (first >= 1 && last >= first)
        set.m_ranges.append({ first, last });
    return set;
}

void MfnSet::normalize()
{
    std::sort(m_ranges.begin(), m_ranges.end());
    QList<Range> merged;
    merged.reserve(m_ranges.size());
    for (const Range &r : std::as_const(m_ranges)) {
        if (!merged.isEmpty() && qint64(r.first) <= qint64(merged.last().second) + 1)
            merged.last().second = std::max(merged.last().second, r.second);
        else
            merged.append(r);
    }
    m_ranges = merged;
}

QByteArray MfnSet::toText() const
{
    QByteArray out;
    for (const Range &r : m_ranges) {
        if (!out.isEmpty())
            out += ',';
        out += QByteArray::number(r.first);
        if (r.second != r.first) {
            out += '-';
            out += QByteArray::number(r.second);
        }
    }
    return out;
}

QByteArray MfnSet::toWireLine() const
{
    const qint64 n = count();
    QByteArray out;
    out.reserve(qsizetype(n * 9));
    char digits[16];
    bool first = true;
    for (const Range &r : m_ranges) {
        for (qint64 mfn = r.first; mfn <= r.second; ++mfn) {
            if (!first)
                out.append("\x1F\x1E", 2);
            first = false;
            const auto res = std::to_chars(digits, digits + sizeof digits, mfn);
            out.append(digits, res.ptr - digits);
        }
    }
    return out;
}

qint64 MfnSet::count() const
{
    qint64 n = 0;
    for (const Range &r : m_ranges)
        n += qint64(r.second) - r.first + 1;
    return n;
}

bool MfnSet::contains(qint32 mfn) const
{
    auto it = std::upper_bound(
        m_ranges.begin(), m_ranges.end(), mfn, [](qint32 v, const Range &r) { return v < r.first; });
    if (it == m_ranges.begin())
        return false;
    --it;
    return mfn <= it->second;
}

void MfnSet::insertRange(qint32 first, qint32 last)
{
    if (first < 1 || last < first)
        return;
    m_ranges.append({ first, last });
    normalize();
}

void MfnSet::remove(QList<qint32> mfns)
{
    if (mfns.isEmpty() || m_ranges.isEmpty())
        return;
    std::sort(mfns.begin(), mfns.end());
    mfns.erase(std::unique(mfns.begin(), mfns.end()), mfns.end());
    QList<Range> out;
    out.reserve(m_ranges.size() + mfns.size());
    auto cut = mfns.cbegin();
    for (const Range &r : std::as_const(m_ranges)) {
        qint64 start = r.first;
        while (cut != mfns.cend() && *cut < r.first)
            ++cut;
        while (cut != mfns.cend() && *cut <= r.second) {
            if (*cut > start)
                out.append({ qint32(start), *cut - 1 });
            start = qint64(*cut) + 1;
            ++cut;
        }
        if (start <= r.second)
            out.append({ qint32(start), r.second });
    }
    m_ranges = out;
}

void MfnSet::truncate(qint32 maxMfn)
{
    QList<Range> out;
    for (const Range &r : std::as_const(m_ranges)) {
        if (r.first > maxMfn)
            break;
        out.append({ r.first, std::min(r.second, maxMfn) });
    }
    m_ranges = out;
}
