#include "ServerMonitor.h"

#include "exchange/OpResult.h"
#include "exchange/Waitunit.h"
#include "shell/Dialogs.h"
#include "shell/FormUtil.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/GridText.h"
#include "shell/Translate.h"
#include "shell/UserSettings.h"

#include <QAreaSeries>
#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QSpinBox>
#include <QTime>
#include <QTimer>
#include <QToolTip>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

TServerMonitorForm *g_monitor = nullptr;

const QString kIntervalKey = u"Monitor/Interval"_s;

// The monitor's readings never ask the retry question: the next tick reads again anyway.
class QuietReadings
{
public:
    explicit QuietReadings(TulvaExchange *engine)
        : m_engine(engine)
        , m_before(engine && engine->neverAsk())
    {
        if (engine)
            engine->setNeverAsk(true);
    }
    ~QuietReadings()
    {
        if (m_engine)
            m_engine->setNeverAsk(m_before);
    }
    QuietReadings(const QuietReadings &) = delete;
    QuietReadings &operator=(const QuietReadings &) = delete;

private:
    QPointer<TulvaExchange> m_engine;
    bool m_before;
};

QColor lineColour(int i)
{
    static const QColor colours[] = { QColor(31, 119, 180), QColor(255, 127, 14), QColor(44, 160, 44),
        QColor(214, 39, 40), QColor(148, 103, 189), QColor(140, 86, 75), QColor(227, 119, 194),
        QColor(127, 127, 127), QColor(188, 189, 34), QColor(23, 190, 207) };
    return colours[i % int(std::size(colours))];
}

QChartView *makeChartView(QWidget *parent, const QString &name, const QString &title, bool rightAxis = false)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QFont small = chart->legend()->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    chart->legend()->setFont(small);
    auto *x = new QDateTimeAxis;
    x->setFormat(u"hh:mm"_s);
    x->setTickCount(7);
    x->setProperty("mostTicks", 7);
    x->setLabelsFont(small);
    chart->addAxis(x, Qt::AlignBottom);
    auto *y = new QValueAxis;
    y->setLabelFormat(u"%d"_s);
    y->setLabelsFont(small);
    chart->addAxis(y, Qt::AlignLeft);
    if (rightAxis) {
        auto *right = new QValueAxis;
        right->setLabelFormat(u"%d"_s);
        right->setLabelsFont(small);
        chart->addAxis(right, Qt::AlignRight);
    }
    auto *view = new QChartView(chart, parent);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(280, 180);
    // A chart takes no keys: Tab goes from the controls to the buttons, not through four
    // invisible stops.
    view->setFocusPolicy(Qt::NoFocus);
    return view;
}

QAbstractAxis *timeAxis(QChart *chart)
{
    return chart->axes(Qt::Horizontal).value(0);
}

// As many times along the axis as fit whole: a narrow chart (a small screen, a large font) would
// otherwise cut every label to "17:02:...". The most a chart takes is kept on its axis.
void fitTimeTicks(QChart *chart)
{
    auto *times = qobject_cast<QDateTimeAxis *>(timeAxis(chart));
    const qreal width = chart->plotArea().width();
    if (!times || width <= 0)
        return;
    const int most = times->property("mostTicks").toInt();
    const QFontMetrics metrics(times->labelsFont());
    const int label = metrics.horizontalAdvance(QTime(20, 58, 58).toString(times->format())) + 12;
    const int fit = std::clamp(int(width / label) + 1, 2, qMax(2, most));
    if (times->tickCount() != fit)
        times->setTickCount(fit);
}

QValueAxis *valueAxis(QChart *chart, Qt::Alignment side = Qt::AlignLeft)
{
    for (QAbstractAxis *axis : chart->axes(Qt::Vertical)) {
        if (axis->alignment() == side)
            return qobject_cast<QValueAxis *>(axis);
    }
    return nullptr;
}

// Whole numbers on a scale from 0 that leaves room above the highest value.
void fitAxis(QValueAxis *axis, double top)
{
    if (!axis)
        return;
    if (top <= 8) {
        // A line along the upper edge would hide in the frame.
        const int t = qMax(1, int(std::ceil(top)) + (top > 0 ? 1 : 0));
        axis->setRange(0, t);
        axis->setTickCount(t + 1);
        return;
    }
    axis->setTickCount(5);
    axis->setRange(0, top * 1.05);
    axis->applyNiceNumbers();
    if (axis->max() < top)
        axis->setMax(top);
}

double highest(const MonitorSeries &series)
{
    double top = 0;
    for (const MonitorSegment &segment : series) {
        for (const QPointF &p : segment)
            top = qMax(top, p.y());
    }
    return top;
}

// Only the first piece of a series broken by gaps stands in the legend.
void hideFromLegend(QChart *chart, QAbstractSeries *series)
{
    for (QLegendMarker *marker : chart->legend()->markers(series))
        marker->setVisible(false);
}

// About a point to a pixel of the chart's width.
int pointLimit(const QChartView *view)
{
    return qMax(120, view->width());
}

QString clockText(qint64 at)
{
    return QDateTime::fromMSecsSinceEpoch(at).toString(u"hh:mm:ss"_s);
}

} // namespace

TServerMonitorForm::TServerMonitorForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"ServerMonitorForm"_s);
    setProperty("helpContext", 4600);
    setWindowTitle(u"Монитор сервера"_s);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setMinimumSize(620, 460);
    resize(1000, 700);
    setFormPosition(this, FormPosition::MainFormCenter);

    PanelTop = makePanel(this, u"PanelTop"_s);
    IntervalLabel = new QLabel(u"Опрашивать сервер каждые"_s, PanelTop);
    IntervalLabel->setObjectName(u"IntervalLabel"_s);
    IntervalSpin = new QSpinBox(PanelTop);
    IntervalSpin->setObjectName(u"IntervalSpin"_s);
    IntervalSpin->setRange(MinInterval, MaxInterval);
    IntervalSpin->setSuffix(u" с"_s);
    IntervalLabel->setBuddy(IntervalSpin);
    PauseButton = makeButton(PanelTop, u"PauseButton"_s, u"Пауза"_s);
    PauseButton->setCheckable(true);
    StateLabel = new QLabel(PanelTop);
    StateLabel->setObjectName(u"StateLabel"_s);
    StateLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *top = new QHBoxLayout(PanelTop);
    top->setContentsMargins(8, 4, 8, 4);
    top->addWidget(IntervalLabel);
    top->addWidget(IntervalSpin);
    top->addWidget(PauseButton);
    top->addStretch(1);
    top->addWidget(StateLabel);

    ChartsPanel = new QWidget(this);
    ChartsPanel->setObjectName(u"ChartsPanel"_s);
    ClientsChart = makeChartView(ChartsPanel, u"ClientsChart"_s, u"Зарегистрированные клиенты"_s);
    ProcessesChart = makeChartView(ChartsPanel, u"ProcessesChart"_s, u"Процессы сервера"_s);
    RequestsChart = makeChartView(ChartsPanel, u"RequestsChart"_s, u"Запросов в минуту"_s);
    DatabaseChart = makeChartView(ChartsPanel, u"DatabaseChart"_s, u"Текущая база данных"_s, true);
    // Five figures do not fit in a line under the chart; beside it, fewer times fit.
    DatabaseChart->chart()->legend()->setAlignment(Qt::AlignRight);
    if (auto *times = qobject_cast<QDateTimeAxis *>(timeAxis(DatabaseChart->chart()))) {
        times->setTickCount(4);
        times->setProperty("mostTicks", 4);
    }
    for (QChartView *view : { ClientsChart, ProcessesChart, RequestsChart, DatabaseChart }) {
        QChart *chart = view->chart();
        connect(chart, &QChart::plotAreaChanged, this, [chart] { fitTimeTicks(chart); });
    }
    auto *grid = new QGridLayout(ChartsPanel);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(4);
    grid->addWidget(ClientsChart, 0, 0);
    grid->addWidget(ProcessesChart, 0, 1);
    grid->addWidget(RequestsChart, 1, 0);
    grid->addWidget(DatabaseChart, 1, 1);

    SavePngButton = makeButton(this, u"SavePngButton"_s, u"Сохранить как PNG"_s);
    ExportCsvButton = makeButton(this, u"ExportCsvButton"_s, u"Экспорт в CSV"_s);
    ButtonCancel = makeButton(this, u"ButtonCancel"_s, u"@90"_s);
    Panel1 = makeBottomPanel(this, u"Panel1"_s, { SavePngButton, ExportCsvButton, nullptr, ButtonCancel });
    stackVertically(this, { PanelTop, ChartsPanel, Panel1 }, ChartsPanel);

    TickTimer = new QTimer(this);
    TickTimer->setObjectName(u"TickTimer"_s);

    const int saved = userSettings()->value(kIntervalKey, DefaultInterval).toInt();
    IntervalSpin->setValue(saved >= MinInterval && saved <= MaxInterval ? saved : DefaultInterval);
    TickTimer->setInterval(IntervalSpin->value() * 1000);

    connect(TickTimer, &QTimer::timeout, this, &TServerMonitorForm::TickTimerTimer);
    connect(IntervalSpin, &QSpinBox::valueChanged, this, &TServerMonitorForm::IntervalSpinChange);
    connect(PauseButton, &QPushButton::clicked, this, &TServerMonitorForm::PauseButtonClick);
    connect(SavePngButton, &QPushButton::clicked, this, &TServerMonitorForm::SavePngButtonClick);
    connect(ExportCsvButton, &QPushButton::clicked, this, &TServerMonitorForm::ExportCsvButtonClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);

    TranslateAndRefont(this);
    redraw();
}

void TServerMonitorForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!PauseButton->isChecked())
        TickTimer->start();
    // The first reading comes at once, not an interval later.
    QTimer::singleShot(0, this, &TServerMonitorForm::TickTimerTimer);
}

void TServerMonitorForm::hideEvent(QHideEvent *event)
{
    // A closed monitor asks the server nothing; what it has read stays for the next showing, and
    // the lines do not join across the time it was closed.
    TickTimer->stop();
    m_history.addPause(QDateTime::currentMSecsSinceEpoch());
    QDialog::hideEvent(event);
}

void TServerMonitorForm::IntervalSpinChange(int seconds)
{
    TickTimer->setInterval(seconds * 1000);
    userSettings()->setValue(kIntervalKey, seconds);
}

void TServerMonitorForm::PauseButtonClick()
{
    if (PauseButton->isChecked()) {
        TickTimer->stop();
        m_history.addPause(QDateTime::currentMSecsSinceEpoch());
    } else if (isVisible()) {
        TickTimer->start();
        TickTimerTimer();
    }
    showState();
}

void TServerMonitorForm::TickTimerTimer()
{
    if (m_inTick || !isVisible() || PauseButton->isChecked() || !WaitForm)
        return;
    // Before the login (or once the program gives up the server) there is nobody to ask.
    if (WaitForm->serverHost().isEmpty()) {
        showState();
        return;
    }
    // Another request is under way: this reading waits for the next tick.
    if (WaitForm->isBusy() || WaitForm->isWaitVisible())
        return;

    m_inTick = true;
    const QPointer<TServerMonitorForm> self(this);
    MonitorReading reading;
    reading.at = QDateTime::currentMSecsSinceEpoch();
    bool silent = false;
    bool busy = false;
    {
        WaitServing serving(WaitForm, this);
        QuietReadings quiet(WaitForm->engine());
        const auto took = [&](int result, const std::function<void()> &read) {
            if (result == OpResult::Busy)
                busy = true;
            else if (result == OpResult::Failed)
                silent = true;
            else if (self)
                read();
            return !busy && !silent && self;
        };
        if (took(WaitForm->GetRegisteredClients(m_answer), [&] { readRegisteredClients(m_answer, &reading); })
            && took(WaitForm->GetProcessList(m_answer), [&] { readProcesses(m_answer, &reading); })) {
            const QString database = CurrentDbName;
            if (!database.isEmpty()) {
                took(WaitForm->GetDatabaseInfo(database, m_answer),
                    [&] { readDatabase(database, OpResult::Accepted, m_answer, &reading); });
            }
        }
    }
    if (!self)
        return;
    m_inTick = false;
    m_answer.clear();
    if (silent)
        m_history.addSilence(reading.at);
    else
        m_history.addReading(reading);
    redraw();
}

void TServerMonitorForm::showState()
{
    QString text;
    bool alarm = false;
    if (const auto since = m_history.silentSince()) {
        text = u"Сервер не отвечает с "_s + clockText(*since);
        alarm = true;
    } else if (const MonitorReading *last = m_history.lastReading()) {
        text = u"Данные на "_s + clockText(last->at);
    } else if (WaitForm && WaitForm->serverHost().isEmpty()) {
        text = u"Вход на сервер не выполнен"_s;
    }
    if (PauseButton->isChecked())
        text = text.isEmpty() ? u"Пауза"_s : text + u" — пауза"_s;
    // The pressed button says what pressing it again does.
    PauseButton->setText(PauseButton->isChecked() ? u"Продолжить"_s : u"Пауза"_s);
    StateLabel->setText(text);
    StateLabel->setStyleSheet(alarm ? u"color: rgb(192, 0, 0); font-weight: bold;"_s : QString());
}

void TServerMonitorForm::setTimeRange(QChart *chart)
{
    QAbstractAxis *axis = timeAxis(chart);
    if (!axis)
        return;
    qint64 last = m_history.lastTime();
    if (last == 0)
        last = QDateTime::currentMSecsSinceEpoch();
    qint64 first = qMax(m_history.firstTime(), last - m_history.spanMs());
    if (m_history.size() == 0 || last - first < 60 * 1000)
        first = last - 60 * 1000;
    axis->setRange(QDateTime::fromMSecsSinceEpoch(first), QDateTime::fromMSecsSinceEpoch(last));
    // Minutes alone would repeat one label along a short stretch.
    if (auto *times = qobject_cast<QDateTimeAxis *>(axis))
        times->setFormat(last - first < 10 * 60 * 1000 ? u"hh:mm:ss"_s : u"hh:mm"_s);
    fitTimeTicks(chart);
}

void TServerMonitorForm::drawSilences(QChart *chart, double top)
{
    bool first = true;
    for (const auto &[from, to] : m_history.silentSpans()) {
        auto *upper = new QLineSeries;
        auto *lower = new QLineSeries;
        const double end = double(qMax(to, from + 1000));
        upper->append(double(from), top);
        upper->append(end, top);
        lower->append(double(from), 0);
        lower->append(end, 0);
        auto *band = new QAreaSeries(upper, lower);
        upper->setParent(band);
        lower->setParent(band);
        band->setName(u"нет ответа"_s);
        band->setColor(QColor(220, 0, 0, 40));
        band->setBorderColor(QColor(220, 0, 0, 90));
        chart->addSeries(band);
        band->attachAxis(timeAxis(chart));
        band->attachAxis(valueAxis(chart));
        if (!first)
            hideFromLegend(chart, band);
        first = false;
    }
}

void TServerMonitorForm::drawLines(QChartView *view, const QList<std::pair<QString, MonitorSeries>> &lines,
    const QList<std::pair<QString, MonitorSeries>> &rightLines)
{
    QChart *chart = view->chart();
    chart->removeAllSeries();
    // The scales first: every change of a scale lays out every line on it again.
    double leftTop = 0;
    double rightTop = 0;
    for (const auto &[name, series] : lines)
        leftTop = qMax(leftTop, highest(series));
    for (const auto &[name, series] : rightLines)
        rightTop = qMax(rightTop, highest(series));
    fitAxis(valueAxis(chart), leftTop);
    if (!rightLines.isEmpty())
        fitAxis(valueAxis(chart, Qt::AlignRight), rightTop);
    setTimeRange(chart);
    int colour = 0;
    const auto add = [&](const QString &name, const MonitorSeries &series, bool right) {
        QValueAxis *axis = valueAxis(chart, right ? Qt::AlignRight : Qt::AlignLeft);
        const QColor c = lineColour(colour++);
        bool first = true;
        for (const MonitorSegment &whole : series) {
            const MonitorSegment segment = pickPoints(whole, drawnPoints({ whole }, pointLimit(view)));
            auto *line = new QLineSeries;
            line->setName(name);
            QPen pen(c, 2);
            if (right)
                pen.setStyle(Qt::DashLine);
            line->setPen(pen);
            // A lone point would not show as a line.
            line->setPointsVisible(segment.size() < 3);
            line->append(segment);
            chart->addSeries(line);
            line->attachAxis(timeAxis(chart));
            line->attachAxis(axis);
            connect(line, &QLineSeries::hovered, this, [this, chart](const QPointF &p, bool state) {
                if (state)
                    QToolTip::showText(QCursor::pos(), hoverText(chart, qint64(p.x()), p.y()));
                else
                    QToolTip::hideText();
            });
            if (!first)
                hideFromLegend(chart, line);
            first = false;
        }
        if (series.isEmpty()) {
            // The figure keeps its place in the legend while it has no values yet.
            auto *empty = new QLineSeries;
            empty->setName(name);
            empty->setPen(QPen(c, 2, right ? Qt::DashLine : Qt::SolidLine));
            chart->addSeries(empty);
            empty->attachAxis(timeAxis(chart));
            empty->attachAxis(axis);
        }
    };
    for (const auto &[name, series] : lines)
        add(name, series, false);
    for (const auto &[name, series] : rightLines)
        add(name, series, true);
    drawSilences(chart, valueAxis(chart)->max());
}

void TServerMonitorForm::drawProcesses()
{
    QChart *chart = ProcessesChart->chart();
    chart->removeAllSeries();
    const QList<MonitorBand> bands = m_history.processBands();
    const MonitorSeries totals = m_history.series(MonitorHistory::Figure::Processes);
    // The same points of every band, so that the layers stay on one another.
    QList<QList<qsizetype>> drawn;
    for (qsizetype s = 0; s < totals.size(); ++s) {
        QList<MonitorSegment> aligned;
        for (const MonitorBand &band : bands)
            aligned.append(band.upper.value(s));
        if (aligned.isEmpty())
            aligned.append(totals.at(s));
        drawn.append(drawnPoints(aligned, pointLimit(ProcessesChart)));
    }
    // The scales first: every change of a scale lays out every area on it again.
    fitAxis(valueAxis(chart), highest(totals));
    setTimeRange(chart);
    for (qsizetype k = 0; k < bands.size(); ++k) {
        const MonitorBand &band = bands.at(k);
        const QColor c = lineColour(int(k));
        for (qsizetype s = 0; s < band.upper.size(); ++s) {
            auto *upper = new QLineSeries;
            auto *lower = new QLineSeries;
            upper->append(pickPoints(band.upper.at(s), drawn.at(s)));
            lower->append(pickPoints(band.lower.at(s), drawn.at(s)));
            auto *area = new QAreaSeries(upper, lower);
            upper->setParent(area);
            lower->setParent(area);
            area->setName(band.kind);
            QColor fill = c;
            fill.setAlpha(150);
            area->setColor(fill);
            area->setBorderColor(c);
            area->setPointsVisible(band.upper.at(s).size() < 3);
            chart->addSeries(area);
            area->attachAxis(timeAxis(chart));
            area->attachAxis(valueAxis(chart));
            connect(area, &QAreaSeries::hovered, this, [this, chart](const QPointF &p, bool state) {
                if (state)
                    QToolTip::showText(QCursor::pos(), hoverText(chart, qint64(p.x()), p.y()));
                else
                    QToolTip::hideText();
            });
            if (s > 0)
                hideFromLegend(chart, area);
        }
    }
    // The total on top: the line that shows zero too, and the place to rest the pointer on.
    bool first = true;
    for (qsizetype s = 0; s < totals.size(); ++s) {
        const MonitorSegment segment = pickPoints(totals.at(s), drawn.at(s));
        auto *total = new QLineSeries;
        total->setName(u"всего"_s);
        total->setPen(QPen(QColor(60, 60, 60), 1.5));
        total->setPointsVisible(segment.size() < 3);
        total->append(segment);
        chart->addSeries(total);
        total->attachAxis(timeAxis(chart));
        total->attachAxis(valueAxis(chart));
        connect(total, &QLineSeries::hovered, this, [this, chart](const QPointF &p, bool state) {
            if (state)
                QToolTip::showText(QCursor::pos(), hoverText(chart, qint64(p.x()), p.y()));
            else
                QToolTip::hideText();
        });
        if (!first)
            hideFromLegend(chart, total);
        first = false;
    }
    drawSilences(chart, valueAxis(chart)->max());
}

void TServerMonitorForm::redraw()
{
    using Figure = MonitorHistory::Figure;
    drawLines(ClientsChart, { { u"клиентов"_s, m_history.series(Figure::Clients) } });
    drawProcesses();
    drawLines(RequestsChart, { { u"запросов в минуту"_s, m_history.series(Figure::RequestsPerMinute) } });
    drawLines(DatabaseChart,
        { { u"заблокированные"_s, m_history.series(Figure::Locked) },
            { u"удаленные логически"_s, m_history.series(Figure::DeletedLogically) },
            { u"удаленные физически"_s, m_history.series(Figure::DeletedPhysically) },
            { u"неактуализированные"_s, m_history.series(Figure::Unactualized) } },
        { { u"макс. MFN (справа)"_s, m_history.series(Figure::MaxMfn) } });
    const QString database = m_history.databaseName();
    DatabaseChart->chart()->setTitle(
        database.isEmpty() ? u"Текущая база данных"_s : u"База данных "_s + database);
    showState();
}

QString TServerMonitorForm::hoverText(QChart *chart, qint64 at, double value) const
{
    const MonitorReading *r = m_history.readingNear(at);
    if (!r)
        return {};
    QString text = clockText(r->at);
    if (chart == ClientsChart->chart() && r->clients) {
        text += u"\nЗарегистрированных клиентов: "_s + QString::number(*r->clients);
    } else if (chart == ProcessesChart->chart() && r->processes) {
        int total = 0;
        QString kinds;
        for (const MonitorProcessCount &p : *r->processes) {
            total += p.count;
            kinds += u"\n  "_s + p.kind + u": "_s + QString::number(p.count);
        }
        text += u"\nПроцессов: "_s + QString::number(total) + kinds;
    } else if (chart == RequestsChart->chart()) {
        text += u"\nЗапросов в минуту: "_s + QLocale(QLocale::Russian).toString(value, 'f', 1);
        if (r->requestCounter)
            text += u"\nСчётчик запросов сервера: "_s + QString::number(*r->requestCounter);
    } else if (chart == DatabaseChart->chart() && r->database) {
        const MonitorDatabase &d = *r->database;
        text += u" — "_s + d.name + u"\nМаксимальный MFN: "_s + QString::number(d.maxMfn)
            + u"\nЗаблокированных записей: "_s + QString::number(d.locked)
            + u"\nЛогически удаленных записей: "_s + QString::number(d.deletedLogically)
            + u"\nФизически удаленных записей: "_s + QString::number(d.deletedPhysically)
            + u"\nНеактуализированных записей: "_s + QString::number(d.unactualized);
    }
    return text;
}

void TServerMonitorForm::SavePngButtonClick()
{
    const QString stamp = QDateTime::currentDateTime().toString(u"yyyy-MM-dd_hh-mm"_s);
    const QString path
        = Dialogs::saveImageFileName(u"Сохранить как PNG"_s, u"Монитор сервера "_s + stamp + u".png"_s);
    if (path.isEmpty())
        return;
    const QPixmap picture = ChartsPanel->grab();
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && picture.save(&file, "PNG") && file.commit();
    if (!written)
        Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s,
            u"Не удалось записать файл "_s + path + u"\n"_s + file.errorString());
}

void TServerMonitorForm::ExportCsvButtonClick()
{
    Dialogs::Encoding encoding = Dialogs::Encoding::Utf8Bom;
    const QString path = Dialogs::saveFileName(u"Экспорт в CSV"_s, u"Монитор сервера.csv"_s, &encoding);
    if (path.isEmpty())
        return;
    const MonitorTableModel table(m_history.tableTitles(), m_history.tableRows());
    QSaveFile file(path);
    QString error;
    bool written = false;
    if (file.open(QIODevice::WriteOnly)) {
        const auto enc = encoding == Dialogs::Encoding::Utf8Bom ? GridText::Encoding::Utf8Bom
                                                                : GridText::Encoding::Windows1251;
        written = GridText::writeCsv(file, table, enc, {}, &error) && file.commit();
    }
    if (!written)
        Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s,
            u"Не удалось записать файл "_s + path + u"\n"_s + (error.isEmpty() ? file.errorString() : error));
}

TServerMonitorForm *serverMonitorForm()
{
    if (!g_monitor)
        g_monitor = new TServerMonitorForm;
    return g_monitor;
}

void destroyServerMonitorForm()
{
    delete g_monitor;
    g_monitor = nullptr;
}
