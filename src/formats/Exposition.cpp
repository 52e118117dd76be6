#include "Exposition.h"

#include <QLocale>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

bool isNameChar(QChar c, bool first, bool colonAllowed)
{
    const char16_t u = c.unicode();
    if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || u == u'_')
        return true;
    if (u == u':')
        return colonAllowed;
    return !first && u >= u'0' && u <= u'9';
}

bool isValidName(const QString &name, bool colonAllowed)
{
    if (name.isEmpty())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i)
        if (!isNameChar(name.at(i), i == 0, colonAllowed))
            return false;
    return true;
}

// Label values escape the double quote too; help texts keep it.
QString escaped(const QString &text, bool quote)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\\')
            out += u"\\\\"_s;
        else if (quote && c == u'"')
            out += u"\\\""_s;
        else if (c == u'\n')
            out += u"\\n"_s;
        else
            out += c;
    }
    return out;
}

} // namespace

bool isValidMetricName(const QString &name)
{
    return isValidName(name, true);
}

bool isValidLabelName(const QString &name)
{
    return isValidName(name, false);
}

QString escapeLabelValue(const QString &value)
{
    return escaped(value, true);
}

QString escapeHelpText(const QString &text)
{
    return escaped(text, false);
}

QString formatMetricValue(double value)
{
    if (std::isnan(value))
        return u"NaN"_s;
    if (std::isinf(value))
        return value > 0 ? u"+Inf"_s : u"-Inf"_s;
    // Exact for every whole number a double holds without loss.
    if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0)
        return QString::number(qint64(value));
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QByteArray exposition(const QList<MetricFamily> &families)
{
    QString text;
    for (const MetricFamily &f : families) {
        Q_ASSERT(isValidMetricName(f.name));
        if (f.samples.isEmpty())
            continue;
        text += u"# HELP "_s + f.name + u' ' + escapeHelpText(f.help) + u'\n';
        text += u"# TYPE "_s + f.name + u' ' + f.type + u'\n';
        for (const MetricSample &s : f.samples) {
            text += f.name;
            if (!s.labels.isEmpty()) {
                text += u'{';
                for (qsizetype i = 0; i < s.labels.size(); ++i) {
                    Q_ASSERT(isValidLabelName(s.labels.at(i).first));
                    if (i > 0)
                        text += u',';
                    text += s.labels.at(i).first + u"=\""_s + escapeLabelValue(s.labels.at(i).second) + u'"';
                }
                text += u'}';
            }
            text += u' ' + formatMetricValue(s.value) + u'\n';
        }
    }
    return text.toUtf8();
}
