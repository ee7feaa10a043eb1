#include "replies/identification.h"

namespace {

// Firmware revisions that do not answer the status query. The last entries decide what the
// service tool shows, as the whole table is always tried.
const char* const kRevisionMarkers[] = {"V1.21", "V1.22", "V1.23", "V1.23E", "V1.23", "V1.23"};
// Entry 0 is the current range option, entry 1 the OT1 output.
const char* const kOptionMarkers[] = {"CR2", "OT1", "CR2", "CR2", "CR2", "CR2"};
const char* const kThreePhaseMarker = "3P";
constexpr int kRevisionEnd = 49;
constexpr int kOptionsSearched = 83;

} // namespace

QString CutText(const QString& text, int start, int count)
{
    if (count <= 0)
        return {};
    return text.mid(qMax(start, 1) - 1, count);
}

IdentificationReading ReadIdentification(const QString& reply)
{
    IdentificationReading r;
    int found = 0;
    for (qsizetype i = 0; i < reply.size() && found < 4; ++i)
        if (reply[i] == QLatin1Char(','))
            r.CommaPositions[static_cast<size_t>(found++)] = static_cast<int>(i + 1);
    const auto& c = r.CommaPositions;
    r.Manufacturer = CutText(reply, 1, c[0] - 1);
    r.Model = CutText(reply, c[0] + 1, c[1] - c[0] - 1);
    r.SerialNumber = CutText(reply, c[1] + 1, c[2] - c[1] - 1);
    r.Revision = CutText(reply, c[2] + 1, kRevisionEnd - c[2]);
    for (const char* marker : kRevisionMarkers) {
        const qsizetype at = r.Revision.indexOf(QLatin1String(marker));
        if (at >= 0) {
            r.CycleBase = 1;
            r.RevisionMarkerText = r.Revision.mid(at);
        } else {
            r.RevisionMarkerText = QStringLiteral("Rev ID = Nil");
        }
    }
    return r;
}

bool IsIdentificationReply(const QString& line)
{
    return ReadIdentification(line).CommaPositions[2] > 0;
}

bool IsResyncQuery(const QString& line)
{
    return line.trimmed().compare(QLatin1String("*idn?"), Qt::CaseInsensitive) == 0;
}

OptionsReading ReadOptions(const QString& reply)
{
    OptionsReading r;
    const QString searched = reply.left(kOptionsSearched);
    const qsizetype threePhase = searched.indexOf(QLatin1String(kThreePhaseMarker));
    r.ThreePhase = threePhase >= 0;
    r.ThreePhaseText = r.ThreePhase ? reply.mid(threePhase) : QStringLiteral("Triple ID = Nil");
    for (size_t i = 0; i < std::size(kOptionMarkers); ++i) {
        const qsizetype at = searched.indexOf(QLatin1String(kOptionMarkers[i]));
        if (at < 0) {
            r.OptionText = QStringLiteral("Opt-All ID = Nil");
            continue;
        }
        r.OptionText = reply.mid(at);
        if (i == 0)
            r.CurrentRangeOption = true;
        if (i == 1)
            r.Ot1Option = true;
    }
    return r;
}
