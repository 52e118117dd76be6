#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// The text format that Prometheus and the node exporter's textfile collector read.

struct MetricSample
{
    QList<std::pair<QString, QString>> labels; // name, value
    double value = 0;
};

struct MetricFamily
{
    QString name;
    QString help;
    QString type; // "gauge", "counter", …
    QList<MetricSample> samples;
};

// Names as the format allows them: [a-zA-Z_:][a-zA-Z0-9_:]* for metrics, no colon in labels.
bool isValidMetricName(const QString &name);
bool isValidLabelName(const QString &name);

// A label value between its quotes: backslash, double quote and line feed escaped.
QString escapeLabelValue(const QString &value);
// A HELP text: backslash and line feed escaped.
QString escapeHelpText(const QString &text);

// A sample value: whole numbers without exponent or fraction, others in their shortest exact
// form; NaN, +Inf and -Inf as the format spells them.
QString formatMetricValue(double value);

// HELP and TYPE lines, then the samples, of every family that has samples, in the order given;
// UTF-8, each line ended by a line feed.
QByteArray exposition(const QList<MetricFamily> &families);
