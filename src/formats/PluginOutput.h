#pragma once

#include <QList>
#include <QString>

#include <optional>

// What a monitoring plugin (the interface Nagios-style monitoring systems run) prints and
// returns: one status line with performance data after "|", and the status as exit code.

enum class PluginStatus { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

// "OK", "WARNING", "CRITICAL" or "UNKNOWN".
QString pluginStatusName(PluginStatus status);

// A threshold "[@]start:end": the value alerts outside start..end (ends included), or inside it
// with "@". A missing start is 0, "~" is minus infinity, a missing end has no limit.
struct ThresholdRange
{
    std::optional<double> start; // none: minus infinity
    std::optional<double> end; // none: no upper end
    bool inside = false;
    QString text; // as given, for the performance data

    bool alerts(double value) const;
};

// The range, or nullopt with the reason.
std::optional<ThresholdRange> parseThresholdRange(const QString &text, QString *error);

// Critical is tested first, then warning; a missing threshold never alerts.
PluginStatus thresholdStatus(double value, const std::optional<ThresholdRange> &warning,
    const std::optional<ThresholdRange> &critical);

// One figure of the performance data: 'label'=value[unit];[warn];[crit];[min];[max].
struct PerfData
{
    QString label;
    double value = 0;
    QString unit; // "", "s", "ms", "%", "B", "c", …
    QString warning; // range texts as given
    QString critical;
    std::optional<double> min;
    std::optional<double> max;
};

// A number as the performance data and the status text write it: digits, sign and point only.
QString formatPluginNumber(double value);

// The label, in single quotes (a quote inside doubled) when it holds a blank, "=" or a quote.
QString perfDataLabel(const QString &label);

// One item, trailing empty fields left out.
QString perfDataItem(const PerfData &data);

// "SERVICE STATUS - text | perfdata" and a line feed. The text is kept on one line and free of
// "|", which would start the performance data.
QString pluginStatusLine(
    const QString &service, PluginStatus status, const QString &text, const QList<PerfData> &perfData);
