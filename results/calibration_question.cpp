#include "results/calibration_question.h"

#include "results/instrument_list.h"
#include "results/instrument_source.h"
#include "widgets/operator_messages.h"

#include <QDate>

std::optional<QString> AskCalibration(QWidget* parent, const InstrumentSource& instruments,
                                      const QString& identification)
{
    const QString known =
        identification == QLatin1String("unidentified") ? QString() : identification;
    const CalibrationState state =
        CalibrationOf(instruments.Entries(), known, QDate::currentDate());
    const bool shown =
        state.State == CalibrationState::Valid || state.State == CalibrationState::DueSoon;
    if (InstrumentList::CalibrationRequired() && !shown) {
        ShowOperatorError(
            parent,
            QStringLiteral("The run is not started: the instrument %1 is "
                           "not shown in calibration (%2).\n\"Setup\" > "
                           "\"Results…\" requires calibration.")
                .arg(known.isEmpty() ? QStringLiteral("(unidentified)") : known, state.Text));
        return std::nullopt;
    }
    if (state.State == CalibrationState::Past &&
        !AskOperator(parent, QStringLiteral("The instrument %1: %2.\nRun all the same? The run's "
                                            "record and report will say so.")
                                 .arg(known, state.Text)))
        return std::nullopt;
    return shown || state.State == CalibrationState::Past ? state.Text : QString();
}
