#include "results/stats_plot.h"

#include "record/axis_ticks.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 400;
constexpr int kBins = 24;

// The title line both pictures carry.
QString Title(const ResultsQuery::StepStats& step, qsizetype n)
{
    return QStringLiteral("%1 %2  step %3  %4  n=%5  mean=%6  sd=%7")
        .arg(step.TableName, ShortVersion(step.Version), step.Step, step.Command)
        .arg(n)
        .arg(step.Mean ? QString::number(*step.Mean, 'g', 6) : QString(),
             step.StdDev ? QString::number(*step.StdDev, 'g', 4) : QString());
}

void Paint(QPainter& p, const ResultsQuery::StepStats& step, const QList<double>& values)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(0, 0, kWidth, kHeight), Qt::white);
    const QRectF area(60, 40, kWidth - 90, kHeight - 90);
    double low = step.Min.value_or(step.Lower.value_or(0));
    double high = step.Max.value_or(step.Upper.value_or(low));
    if (step.Lower)
        low = std::min(low, *step.Lower);
    if (step.Upper)
        high = std::max(high, *step.Upper);
    const double margin = high > low ? (high - low) * 0.08 : std::max(1e-3, std::abs(low) * 0.01);
    low -= margin;
    high += margin;
    QList<int> bins(kBins, 0);
    for (double v : values)
        ++bins[std::clamp(static_cast<int>((v - low) / (high - low) * kBins), 0, kBins - 1)];
    const int most = std::max(1, *std::max_element(bins.begin(), bins.end()));
    auto x = [&](double v) { return area.left() + (v - low) / (high - low) * area.width(); };

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 110, 180));
    const double binWidth = area.width() / kBins;
    for (int i = 0; i < kBins; ++i) {
        const double h = area.height() * bins[i] / most;
        p.drawRect(QRectF(area.left() + i * binWidth + 1, area.bottom() - h, binWidth - 2, h));
    }
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawLine(area.bottomLeft(), area.bottomRight());
    p.drawLine(area.bottomLeft(), area.topLeft());
    p.drawText(QRectF(area.left(), area.bottom() + 4, 120, 20), Qt::AlignLeft,
               QString::number(low, 'g', 6));
    p.drawText(QRectF(area.right() - 120, area.bottom() + 4, 120, 20), Qt::AlignRight,
               QString::number(high, 'g', 6));
    p.drawText(QRectF(0, area.top() - 6, area.left() - 6, 20), Qt::AlignRight,
               QString::number(most));
    p.drawText(QRectF(10, 8, kWidth - 20, 24), Qt::AlignLeft, Title(step, values.size()));
    p.setPen(QPen(Qt::red, 2, Qt::DashLine));
    for (const auto& [limit, name] : {std::pair{step.Lower, "lower"}, {step.Upper, "upper"}}) {
        if (!limit)
            continue;
        p.drawLine(QPointF(x(*limit), area.top()), QPointF(x(*limit), area.bottom()));
        p.drawText(QRectF(x(*limit) - 60, area.bottom() + 22, 120, 20), Qt::AlignHCenter,
                   QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(*limit, 0, 'g', 6));
    }
}

// A horizontal line across the chart, named at its right end.
void Level(QPainter& p, const QRectF& area, double y, const QString& name)
{
    p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    p.drawText(QRectF(area.right() + 4, y - 10, kWidth - area.right() - 4, 20),
               Qt::AlignLeft | Qt::AlignVCenter, name);
}

void PaintControlChart(QPainter& p, const ResultsQuery::StepStats& step,
                       const QList<double>& values)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(0, 0, kWidth, kHeight), Qt::white);
    const QRectF area(70, 40, kWidth - 170, kHeight - 80);
    // The mean and σ of the values drawn: the chart's own, which the last N values make.
    double mean = 0;
    for (double v : values)
        mean += v;
    mean = values.isEmpty() ? step.Mean.value_or(0) : mean / values.size();
    double squares = 0;
    for (double v : values)
        squares += (v - mean) * (v - mean);
    const std::optional<double> sigma =
        values.size() > 1 ? std::optional<double>(std::sqrt(squares / (values.size() - 1)))
                          : std::nullopt;
    double low = mean;
    double high = mean;
    auto widen = [&](double v) {
        low = std::min(low, v);
        high = std::max(high, v);
    };
    for (double v : values)
        widen(v);
    if (sigma) {
        widen(mean - 3 * *sigma);
        widen(mean + 3 * *sigma);
    }
    if (step.Lower)
        widen(*step.Lower);
    if (step.Upper)
        widen(*step.Upper);
    const ValueScale scale = NiceValueScale(low, high, 8);
    auto y = [&](double v) {
        return area.bottom() - (v - scale.min) / (scale.max - scale.min) * area.height();
    };
    const qsizetype n = values.size();
    auto x = [&](qsizetype i) {
        return n <= 1 ? area.center().x() : area.left() + area.width() * i / (n - 1);
    };

    p.setPen(QPen(QColor(220, 220, 220), 1));
    for (double t = scale.min; t <= scale.max + scale.step / 2; t += scale.step)
        p.drawLine(QPointF(area.left(), y(t)), QPointF(area.right(), y(t)));
    p.setPen(QPen(Qt::black, 1));
    for (double t = scale.min; t <= scale.max + scale.step / 2; t += scale.step)
        p.drawText(QRectF(0, y(t) - 10, area.left() - 6, 20), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(t, 'f', scale.decimals));
    p.drawLine(area.bottomLeft(), area.bottomRight());
    p.drawLine(area.bottomLeft(), area.topLeft());
    p.drawText(QRectF(area.left(), area.bottom() + 4, area.width(), 20), Qt::AlignHCenter,
               QStringLiteral("the last %1 values in run order").arg(n));
    p.drawText(QRectF(10, 8, kWidth - 20, 24), Qt::AlignLeft, Title(step, n));

    p.setPen(QPen(QColor(0, 130, 0), 1.5));
    Level(p, area, y(mean), QStringLiteral("mean %1").arg(mean, 0, 'g', 6));
    if (sigma) {
        p.setPen(QPen(QColor(230, 140, 0), 1.5, Qt::DashDotLine));
        Level(p, area, y(mean + 3 * *sigma), QStringLiteral("+3σ"));
        Level(p, area, y(mean - 3 * *sigma), QStringLiteral("-3σ"));
    }
    p.setPen(QPen(Qt::red, 2, Qt::DashLine));
    for (const auto& [limit, name] : {std::pair{step.Lower, "lower"}, {step.Upper, "upper"}})
        if (limit)
            Level(p, area, y(*limit),
                  QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(*limit, 0, 'g', 6));

    p.setPen(QPen(QColor(70, 110, 180), 1.5));
    for (qsizetype i = 1; i < n; ++i)
        p.drawLine(QPointF(x(i - 1), y(values[i - 1])), QPointF(x(i), y(values[i])));
    p.setBrush(QColor(70, 110, 180));
    for (qsizetype i = 0; i < n; ++i) {
        // A value beyond a limit is marked red, as the report marks its row.
        const bool out =
            (step.Lower && values[i] < *step.Lower) || (step.Upper && values[i] > *step.Upper);
        p.setBrush(out ? QColor(Qt::red) : QColor(70, 110, 180));
        p.drawEllipse(QPointF(x(i), y(values[i])), 2.5, 2.5);
    }
}

// What a paint function draws, as an SVG document.
template <typename PaintFn> QByteArray Svg(const QString& title, PaintFn paint)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(kWidth, kHeight));
    svg.setViewBox(QRect(0, 0, kWidth, kHeight));
    svg.setTitle(title);
    {
        QPainter p;
        if (!p.begin(&svg))
            return {};
        paint(p);
    }
    return buffer.data();
}

QString SafeName(const QString& step)
{
    QString name = step.trimmed();
    for (QChar& c : name)
        if (!c.isLetterOrNumber())
            c = QLatin1Char('_');
    return QStringLiteral("step-%1").arg(name);
}

} // namespace

bool WriteStepHistogram(const QString& folder, const ResultsQuery::StepStats& step,
                        const QList<double>& values, QString* error)
{
    const QString base = QDir(folder).filePath(SafeName(step.Step));
    QSvgGenerator svg;
    svg.setFileName(base + QStringLiteral(".svg"));
    svg.setSize(QSize(kWidth, kHeight));
    svg.setViewBox(QRect(0, 0, kWidth, kHeight));
    svg.setTitle(QStringLiteral("Step %1").arg(step.Step));
    {
        QPainter p;
        if (!p.begin(&svg)) {
            if (error)
                *error = QStringLiteral("%1.svg: cannot be written").arg(base);
            return false;
        }
        Paint(p, step, values);
    }
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    {
        QPainter p(&image);
        Paint(p, step, values);
    }
    if (!image.save(base + QStringLiteral(".png"))) {
        if (error)
            *error = QStringLiteral("%1.png: cannot be written").arg(base);
        return false;
    }
    return true;
}

QByteArray StepHistogramSvg(const ResultsQuery::StepStats& step, const QList<double>& values)
{
    return Svg(QStringLiteral("Step %1").arg(step.Step),
               [&](QPainter& p) { Paint(p, step, values); });
}

QByteArray ControlChartSvg(const ResultsQuery::StepStats& step,
                           const QList<double>& valuesInRunOrder)
{
    return Svg(QStringLiteral("Step %1 control chart").arg(step.Step),
               [&](QPainter& p) { PaintControlChart(p, step, valuesInRunOrder); });
}
