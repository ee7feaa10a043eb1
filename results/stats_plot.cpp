#include "results/stats_plot.h"

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
    p.drawText(QRectF(10, 8, kWidth - 20, 24), Qt::AlignLeft,
               QStringLiteral("%1 %2  step %3  %4  n=%5  mean=%6  sd=%7")
                   .arg(step.TableName, ShortVersion(step.Version), step.Step, step.Command)
                   .arg(values.size())
                   .arg(step.Mean ? QString::number(*step.Mean, 'g', 6) : QString(),
                        step.StdDev ? QString::number(*step.StdDev, 'g', 4) : QString()));
    p.setPen(QPen(Qt::red, 2, Qt::DashLine));
    for (const auto& [limit, name] : {std::pair{step.Lower, "lower"}, {step.Upper, "upper"}}) {
        if (!limit)
            continue;
        p.drawLine(QPointF(x(*limit), area.top()), QPointF(x(*limit), area.bottom()));
        p.drawText(QRectF(x(*limit) - 60, area.bottom() + 22, 120, 20), Qt::AlignHCenter,
                   QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(*limit, 0, 'g', 6));
    }
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
