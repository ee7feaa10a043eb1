#pragma once

#include "sim/sim_device.h"
#include "sim/tav_model_data.h"
#include "sim/tav_sequence.h"

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tav::sim {

struct TavConfig {
    std::string model = "TAV-1600-PS";
    // The "*opt?" text, e.g. "3P CR2 OT1". "3P" makes the instrument three-phase.
    std::string options;
    std::string revision = "V2.00";
    std::string serial = "0505000120";
    // The load on every phase: the magnitude of its impedance, and the angle by which the
    // current lags the voltage (negative: leads). Not purely resistive by default, so that
    // active power, apparent power and power factor all read differently.
    double loadOhm = 50.0;
    double loadPhaseDeg = 30.0;
    // Off to simulate a unit whose status query goes unanswered.
    bool answerStatus = true;
    bool answerIdentification = true; // "*idn?" answered
    // Fixed answers by query, the query in upper case: they stand in for the model's answer, so
    // a test can give every polled value a text of its own.
    std::map<std::string, std::string> fixedAnswers;
};

// What one output phase delivers into its load right now.
struct PhaseReading {
    double volt = 0;  // rms
    double curr = 0;  // rms
    double power = 0; // active, W
    double va = 0;    // apparent
    double peak = 0;  // highest instantaneous current since the last "SOUR:CURRCLR"
    double pfact = 0; // 0 while nothing flows
    double cfact = 0; // crest factor of the waveform, 0 while off
    bool overload = false;
    bool constantCurrent = false;
};

// A TAV programmable AC/DC source driving a load, seen through its serial protocol.
//
// Protocol: queries end in "?" and get one answer; commands are "HEADER,value" (a blank instead
// of the comma is accepted too). Headers match in any case. An empty or unreadable value leaves
// the setting alone, so "SOUR:VOLTAC," does nothing.
//
// Set values: every phase has its own set values. "SOUR:x,v" is the common set value: it sets
// the common value that "Sour:x?" answers and copies it into all three phases ("SOUR:PHAS" only
// into phase 1, because phases 2 and 3 keep their own angles, 120 and 240 by default).
// "SOURn:x,v" changes phase n alone. A single-phase unit only has phase 1; it answers "Sour2:..."
// and "meas2:..." with zeros and ignores settings for phases 2 and 3.
//
// Output: nothing flows while the output is off. Phases 2 and 3 of a three-phase unit need
// "OUTP:PHASON,1" as well. A live phase applies Urms = sqrt(Uac^2 + Udc^2) to the load of
// impedance |Z| at angle phi. When U/|Z| exceeds the current limit ("SOUR:CURR", times ten after
// "SOUR:CURRRNG,1") the phase goes into constant current: I = limit, U = I*|Z|. Apparent power
// is S = U*I. The angle shifts only the alternating current: direct current has no phase, so its
// power is all active. So P = S * (Uac^2 cos(phi) + Udc^2) / Urms^2, and the power factor P/S is
// cos(phi) for pure AC and 1 for pure DC. Overload is flagged when the load would draw more than
// "SOUR:CURRMAX" or a phase delivers more apparent power than its share of "SOUR:POWMAX" (all of
// it single-phase, a third three-phase); readings stay as computed.
//
// "*tav?" answers the status word: bits 0..2 overload on phase 1..3, bits 3..5 constant current
// on phase 1..3.
//
// Memories: "*SAV,n" and "*RCL,n" (n 0..9) store and restore set values and switch states.
// All memories start with the power-on defaults.
//
// Sequences: "SEQ:..." lines write, run and keep a voltage/frequency sequence; TavSequence has
// the details, including the read-back queries the tests use: "SEQ:ROWS?", "SEQ:ROW?,n" (or
// "SEQ:ROW? n", answering "<time>;<val3>;<val1>;<val2>;<code>"), "SEQ:CNT?" and "SEQ:RUN?".
// Model data: the service configuration lines ("setpower,2000", ..., "outp:pon,0") change the
// model "*idn?" reports; TavModelData has the details.
//
// "*RST" stops a running sequence but keeps its rows, count and memories: they are the
// operator's work, not set values.
class TavInstrument final : public SimDevice {
public:
    static constexpr int kPhases = 3;
    static constexpr int kMemories = 10;

    explicit TavInstrument(TavConfig config = {});

    LineResult Process(std::string_view line) override;

    const TavConfig& Config() const { return config_; }
    bool ThreePhase() const { return threePhase_; }
    int StatusWord() const;
    // phase: 0..2
    PhaseReading Reading(int phase) const;

    // The sequence as the program wrote it, row 1 first.
    const std::vector<SeqRow>& Sequence() const { return sequence_.Rows(); }
    // The pass count text, empty until the program sent one.
    std::string SequenceCount() const { return sequence_.Count(); }
    bool SequenceRunning() const { return sequence_.Running(); }
    const TavModelData& ModelData() const { return modelData_; }

private:
    struct PhaseSet {
        double voltAc = 0;
        double voltDc = 0;
        double curr = 16;
        double freq = 50;
        double phas = 0;
    };
    struct Settings {
        PhaseSet common;
        std::array<PhaseSet, kPhases> phase;
        double powMax = 1600;
        double currMax = 20;
        double currTime = 0;
        bool output = false;
        bool phasesOn = false;
        bool aux = false;
        bool currRangeX10 = false;
        bool ot1 = false;
    };
    // Which per-phase set value a header names.
    enum class Quantity { VoltAc, VoltDc, Curr, Freq, Phas };

    static Settings PowerOnSettings();
    static double& Field(PhaseSet& set, Quantity quantity);

    LineResult Query(const std::string& base, int index, const std::string& leaf) const;
    LineResult Command(const std::string& base, int index, const std::string& leaf,
                       std::string_view value);
    LineResult SetQuantity(int index, Quantity quantity, std::string_view value);
    bool PhaseLive(int phase) const;
    // The electrical state without the peak hold.
    PhaseReading Compute(int phase) const;
    void TrackPeaks();

    TavConfig config_;
    bool threePhase_;
    Settings settings_;
    std::array<Settings, kMemories> memories_;
    std::array<double, kPhases> peak_{};
    TavSequence sequence_;
    TavModelData modelData_;
};

} // namespace tav::sim
