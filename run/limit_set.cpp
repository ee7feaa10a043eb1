#include "run/limit_set.h"

#include "autotest/table_file.h"
#include "common/text_file.h"
#include "replies/identification.h"
#include "sequence/step_grid.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr int kShortVersion = 12;

bool IsLimitText(const QString& text)
{
    if (text == QLatin1String("-"))
        return true;
    bool ok = false;
    text.toDouble(&ok);
    return ok;
}

bool Checked(const StepGrid& table, int row)
{
    return !table.Cell(kTestLowerLimit, row).trimmed().isEmpty() ||
           !table.Cell(kTestUpperLimit, row).trimmed().isEmpty();
}

} // namespace

int LimitSet::ModelIndex(const QString& model) const
{
    for (qsizetype i = 0; i < Models.size(); ++i)
        if (Models[i].compare(model.trimmed(), Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

std::optional<LimitSet> ReadLimitSet(const QString& path, QString* error)
{
    QString why;
    const auto lines = ReadTextLines(path, &why);
    const auto fail = [&](int line, const QString& text) {
        if (error)
            *error = line > 0 ? QStringLiteral("%1 line %2: %3").arg(path).arg(line).arg(text)
                              : QStringLiteral("%1: %2").arg(path, text);
        return std::nullopt;
    };
    if (!lines)
        return fail(0, why);
    LimitSet set;
    set.Name = QFileInfo(path).fileName();
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{12,64}$"));
    QByteArray hashed;
    for (qsizetype n = 0; n < lines->size(); ++n) {
        const int number = static_cast<int>(n + 1);
        const QString line = lines->at(n).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList words = line.split(blanks);
        hashed += words.join(QLatin1Char(' ')).toUtf8() + '\n';
        const QString& key = words.first();
        if (key == QLatin1String("version")) {
            if (words.size() != 2 || !hex.match(words[1].toLower()).hasMatch())
                return fail(number, QStringLiteral("\"version\" takes the table version's start "
                                                   "(12 hexadecimal digits or more)"));
            set.TableVersion = words[1].toLower();
        } else if (key == QLatin1String("models")) {
            if (words.size() < 2 || !set.Models.isEmpty())
                return fail(number, QStringLiteral("one \"models\" line names the models"));
            set.Models = words.mid(1);
        } else {
            bool ok = false;
            const int step = key.toInt(&ok);
            if (!ok || step < 1)
                return fail(number, QStringLiteral("neither \"version\", \"models\" nor a step "
                                                   "number: %1")
                                        .arg(key));
            if (set.Models.isEmpty())
                return fail(number, QStringLiteral("a step's limits before the \"models\" line"));
            if (words.size() != 1 + 2 * set.Models.size())
                return fail(number, QStringLiteral("step %1 needs a lower and an upper limit for "
                                                   "each of the %2 models")
                                        .arg(step)
                                        .arg(set.Models.size()));
            if (set.Rows.contains(step))
                return fail(number, QStringLiteral("step %1 is given twice").arg(step));
            QList<std::pair<QString, QString>> limits;
            for (qsizetype m = 0; m < set.Models.size(); ++m) {
                const QString lower = words[1 + 2 * m], upper = words[2 + 2 * m];
                if (!IsLimitText(lower) || !IsLimitText(upper))
                    return fail(number, QStringLiteral("step %1: a limit is a number, or \"-\" "
                                                       "for none")
                                            .arg(step));
                limits.append({lower == QLatin1String("-") ? QString() : lower,
                               upper == QLatin1String("-") ? QString() : upper});
            }
            set.Rows.insert(step, limits);
        }
    }
    if (set.TableVersion.isEmpty())
        return fail(0, QStringLiteral("no \"version\" line names the table version the limits "
                                      "are for"));
    if (set.Models.isEmpty())
        return fail(0, QStringLiteral("no \"models\" line"));
    for (qsizetype i = 0; i < set.Models.size(); ++i)
        if (set.ModelIndex(set.Models[i]) != i)
            return fail(0, QStringLiteral("model %1 is named twice").arg(set.Models[i]));
    set.Version =
        QString::fromLatin1(QCryptographicHash::hash(hashed, QCryptographicHash::Sha256).toHex());
    return set;
}

QString LimitSetProblem(const LimitSet& set, const QString& tableVersion, const StepGrid& table)
{
    if (!tableVersion.startsWith(set.TableVersion))
        return QStringLiteral("limits %1 were made for table version %2, not for this table's "
                              "version %3")
            .arg(set.Name, set.TableVersion.left(kShortVersion), tableVersion.left(kShortVersion));
    QStringList missing;
    for (int row = 1; row <= table.LastRow(); ++row)
        if (Checked(table, row) && !set.Rows.contains(row))
            missing << QString::number(row);
    if (!missing.isEmpty())
        return QStringLiteral("limits %1 give no limits for the checked step%2 %3")
            .arg(set.Name, missing.size() > 1 ? QStringLiteral("s") : QString(),
                 missing.join(QStringLiteral(", ")));
    for (auto it = set.Rows.begin(); it != set.Rows.end(); ++it)
        if (it.key() > table.LastRow() || !Checked(table, it.key()))
            return QStringLiteral("limits %1 give limits for step %2, which checks nothing")
                .arg(set.Name)
                .arg(it.key());
    return {};
}

void ApplyLimits(const LimitSet& set, int model, StepGrid& table)
{
    for (auto it = set.Rows.begin(); it != set.Rows.end(); ++it) {
        const auto& [lower, upper] = it.value().at(model);
        table.SetCell(kTestLowerLimit, it.key(), lower);
        table.SetCell(kTestUpperLimit, it.key(), upper);
    }
}

QString ApplyModelLimits(const LimitSet& set, const QString& model, const QString& identification,
                         StepGrid& table, TestedWith& tested)
{
    const QString named = !model.isEmpty() ? model
                          : identification.contains(QLatin1Char(','))
                              ? ReadIdentification(identification).Model
                              : QString();
    if (named.isEmpty())
        return QStringLiteral("limits %1: the instrument did not say its model; give it with "
                              "--model")
            .arg(set.Name);
    const int index = set.ModelIndex(named);
    if (index < 0)
        return QStringLiteral("limits %1 name no model %2 (they name %3)")
            .arg(set.Name, named, set.Models.join(QStringLiteral(", ")));
    ApplyLimits(set, index, table);
    tested.Limits = set.Name;
    tested.LimitsVersion = set.Version;
    tested.Model = set.Models[index];
    return {};
}

QString LimitSetText(const LimitSet& set)
{
    return QStringLiteral("%1 %2").arg(set.Name, set.Version.left(kShortVersion));
}
