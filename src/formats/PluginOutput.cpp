#include "PluginOutput.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

// Decimal numbers only: no exponent, no "inf" or "nan" that a plain conversion would take.
std::optional<double> rangeNumber(const QString &text)
{
    static const QRegularExpression number(u"^[-+]?(\\d+(\\.\\d*)?|\\.\\d+)$"_s);
    if (!number.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace

QString pluginStatusName(PluginStatus status)
{
    switch (status) {
    case PluginStatus::Ok:
        return u"OK"_s;
    case PluginStatus::Warning:
        return u"WARNING"_s;
    case PluginStatus::Critical:
        return u"CRITICAL"_s;
    case PluginStatus::Unknown:
        break;
    }
    return u"UNKNOWN"_s;
}

bool ThresholdRange::alerts(double value) const
{
    const bool within = (!start || value >= *start) && (!end || value <= *end);
    return inside ? within : !within;
}

std::optional<ThresholdRange> parseThresholdRange(const QString &text, QString *error)
{
    const auto refuse = [&](const QString &why) {
        *error = QCoreApplication::translate(
            "PluginOutput", "\"%1\" is no threshold range (%2; examples: 10, 10:, ~:10, 10:20, @10:20)")
                     .arg(text, why);
        return std::nullopt;
    };
    ThresholdRange range;
    range.text = text;
    QString rest = text;
    if (rest.startsWith(u'@')) {
        range.inside = true;
        rest.remove(0, 1);
    }
    if (rest.isEmpty())
        return refuse(QCoreApplication::translate("PluginOutput", "it is empty"));
    const qsizetype colon = rest.indexOf(u':');
    QString startText;
    QString endText = rest;
    if (colon >= 0) {
        startText = rest.left(colon);
        endText = rest.mid(colon + 1);
    }
    if (startText == u"~") {
        range.start.reset();
    } else if (startText.isEmpty()) {
        range.start = 0.0;
    } else if (const auto v = rangeNumber(startText)) {
        range.start = v;
    } else {
        return refuse(QCoreApplication::translate("PluginOutput", "\"%1\" is not a number").arg(startText));
    }
    if (endText.isEmpty()) {
        if (colon < 0)
            return refuse(QCoreApplication::translate("PluginOutput", "the end is missing"));
        range.end.reset();
    } else if (const auto v = rangeNumber(endText)) {
        range.end = v;
    } else {
        return refuse(QCoreApplication::translate("PluginOutput", "\"%1\" is not a number").arg(endText));
    }
    if (range.start && range.end && *range.start > *range.end)
        return refuse(QCoreApplication::translate("PluginOutput", "the start is above the end"));
    return range;
}

PluginStatus thresholdStatus(
    double value, const std::optional<ThresholdRange> &warning, const std::optional<ThresholdRange> &critical)
{
    if (critical && critical->alerts(value))
        return PluginStatus::Critical;
    if (warning && warning->alerts(value))
        return PluginStatus::Warning;
    return PluginStatus::Ok;
}

QString formatPluginNumber(double value)
{
    if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0)
        return QString::number(qint64(value));
    QString text = QString::number(value, 'f', 6);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text == u"-0" ? u"0"_s : text;
}

QString perfDataLabel(const QString &label)
{
    if (!label.contains(u' ') && !label.contains(u'=') && !label.contains(u'\''))
        return label;
    QString quoted = label;
    quoted.replace(u"'"_s, u"''"_s);
    return u'\'' + quoted + u'\'';
}

QString perfDataItem(const PerfData &data)
{
    QStringList fields{ formatPluginNumber(data.value) + data.unit, data.warning, data.critical,
        data.min ? formatPluginNumber(*data.min) : QString(),
        data.max ? formatPluginNumber(*data.max) : QString() };
    while (fields.size() > 1 && fields.last().isEmpty())
        fields.removeLast();
    return perfDataLabel(data.label) + u'=' + fields.join(u';');
}

QString pluginStatusLine(
    const QString &service, PluginStatus status, const QString &text, const QList<PerfData> &perfData)
{
    QString oneLine = text;
    oneLine.replace(u'|', u'/');
    oneLine.replace(u"\r\n"_s, u" "_s);
    oneLine.replace(u'\r', u' ');
    oneLine.replace(u'\n', u' ');
    QString line = service + u' ' + pluginStatusName(status) + u" - "_s + oneLine.trimmed();
    if (!perfData.isEmpty()) {
        QStringList items;
        for (const PerfData &d : perfData)
            items.append(perfDataItem(d));
        line += u" | "_s + items.join(u' ');
    }
    return line + u'\n';
}
