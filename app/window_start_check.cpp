#include "app/window_start_check.h"

#include "common/program_directory.h"
#include "panel/panel_state.h"
#include "results/calibration_question.h"
#include "results/instrument_source.h"
#include "results/results_store.h"
#include "run/grid_limits.h"
#include "widgets/operator_messages.h"

#include <memory>

QString ChosenLimitsFile()
{
    return ProgramSettings().value(QStringLiteral("Limits/File")).toString();
}

void ChooseLimitsFile(const QString& path)
{
    ProgramSettings().setValue(QStringLiteral("Limits/File"), path);
}

TForm6::StartCheck TestStartCheck(const PanelState& panel, const ResultsStore& results,
                                  std::shared_ptr<InstrumentSource>& instruments)
{
    if (!instruments)
        instruments = std::make_shared<InstrumentSource>(results.Server(), 5000);
    // One per window: the limits it applied are put back before its next run is checked.
    auto limits = std::make_shared<GridLimits>();
    return [&panel, &results, &instruments, limits](QWidget* window,
                                                    StepGrid& grid) -> std::optional<TestedWith> {
        const QString identification = RecordedIdentification(panel);
        const std::optional<QString> calibration =
            AskCalibration(window, *instruments, identification);
        if (instruments->Loaded())
            instruments = std::make_shared<InstrumentSource>(results.Server(), 5000);
        if (!calibration)
            return std::nullopt;
        TestedWith tested;
        tested.Calibration = *calibration;
        if (const QString refused = limits->Apply(ChosenLimitsFile(), identification, grid, tested);
            !refused.isEmpty()) {
            ShowOperatorError(window, refused);
            return std::nullopt;
        }
        return tested;
    };
}
