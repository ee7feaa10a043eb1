// The user's guide cannot promise what the program does not do: every example table it lists is
// run with tavtest exactly as the guide's table of examples says (simulator, command line) and
// must end with the exit status the guide gives for it; and every keyword the interpreter knows
// has a heading of its own in the guide's keyword reference.
#include "autotest/keyword_table.h"
#include "tests/support/build_paths.h"
#include "tests/tools/tavtest_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cctype>
#include <memory>
#include <ostream>
#include <vector>

namespace {

// A path below the source tree.
QString SourcePath(const QString& relative)
{
    return QString::fromUtf8(kSourceDir) + QLatin1Char('/') + relative;
}

// The guide's text; empty when it cannot be read (the tests below say so).
QString Guide()
{
    QFile file(SourcePath(QStringLiteral("doc/test-tables.md")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A row of the guide's table of examples:
// | `examples/NAME.tst` | what it shows | `tavsim ARGS` as COMn, ... | `tavtest ...` | STATUS |
struct ExampleRow {
    QString line;
    QString example;
    std::vector<std::pair<int, QStringList>> simulators; // COM number, tavsim's arguments
    QStringList arguments;                               // tavtest's, the table's path resolved
    int status = -1;
};

// How GoogleTest shows a row, in the test's listed name too.
void PrintTo(const ExampleRow& row, std::ostream* out) { *out << row.example.toStdString(); }

std::vector<ExampleRow> ExampleRows(const QString& guide)
{
    std::vector<ExampleRow> rows;
    for (const QString& line : guide.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1String("| `examples/")))
            continue;
        const QStringList cells = line.split(QLatin1Char('|'));
        ExampleRow row{line, cells.value(1).trimmed().remove(QLatin1Char('`')), {}, {}, -1};
        static const QRegularExpression sim(QStringLiteral("`tavsim([^`]*)` as COM(\\d+)"));
        for (auto m = sim.globalMatch(cells.value(3)); m.hasNext();) {
            const auto match = m.next();
            row.simulators.emplace_back(
                match.captured(2).toInt(),
                match.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts));
        }
        QStringList words = cells.value(4)
                                .trimmed()
                                .remove(QLatin1Char('`'))
                                .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        // An environment setting in front (the GPIB library's folder) is the test's own.
        while (!words.isEmpty() && words.first().contains(QLatin1Char('=')))
            words.removeFirst();
        if (!words.isEmpty() && words.takeFirst() == QLatin1String("tavtest")) {
            for (QString& word : words)
                if (word.startsWith(QLatin1String("examples/")))
                    word = SourcePath(word);
            row.arguments = words;
        }
        bool ok = false;
        row.status = cells.value(5).trimmed().toInt(&ok);
        if (!ok)
            row.status = -1;
        rows.push_back(row);
    }
    return rows;
}

// One test per row, so that the examples run side by side: the row's table file without its
// folder and extension names it.
class GuideExample : public TavtestFixture, public ::testing::WithParamInterface<ExampleRow> {};

std::string ExampleName(const ::testing::TestParamInfo<ExampleRow>& info)
{
    std::string name = QFileInfo(info.param.example).completeBaseName().toStdString();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name + "_" + std::to_string(info.index);
}

TEST_P(GuideExample, RunsWithTheExitStatusTheGuideGives)
{
    const ExampleRow& row = GetParam();
    SCOPED_TRACE(row.line.toStdString());
    ASSERT_TRUE(QFile::exists(SourcePath(row.example)));
    ASSERT_FALSE(row.arguments.isEmpty()) << "no tavtest command";
    ASSERT_GE(row.status, 0) << "no exit status";
    std::vector<std::unique_ptr<TavsimProcess>> sims;
    for (const auto& [port, arguments] : row.simulators) {
        sims.push_back(std::make_unique<TavsimProcess>(
            PortLink(port), File(QStringLiteral("sim%1.log").arg(port)), arguments));
        ASSERT_TRUE(sims.back()->Ready());
    }
    EXPECT_EQ(Run(row.arguments), row.status) << err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Guide, GuideExample, ::testing::ValuesIn(ExampleRows(Guide())),
                         ExampleName);

// Every table in examples/ is in the guide's table, and so is run above.
TEST(GuideExamples, EveryExampleTableIsInTheGuidesTable)
{
    const QString guide = Guide();
    ASSERT_FALSE(guide.isEmpty()) << "doc/test-tables.md is missing";
    QStringList listed;
    for (const ExampleRow& row : ExampleRows(guide))
        listed << row.example;
    const QStringList files = QDir(SourcePath(QStringLiteral("examples")))
                                  .entryList({QStringLiteral("*.tst")}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& file : files)
        EXPECT_TRUE(listed.contains(QStringLiteral("examples/") + file))
            << file.toStdString() << " is not in the guide's table of examples";
}

TEST(GuideKeywords, EveryKeywordOfTheInterpreterHasAHeadingInTheGuide)
{
    QStringList headings;
    for (const QString& line : Guide().split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("### ")))
            headings << line;
    for (const QLatin1String keyword : kStepKeywordTexts) {
        const QString quoted = QStringLiteral("`") + QString(keyword);
        EXPECT_FALSE(headings.filter(quoted).isEmpty())
            << QString(keyword).toStdString() << " has no \"### \" heading in doc/test-tables.md";
    }
}

} // namespace
