// The control panel's reply handling, display states and identification.
#include "panel/main_window.h"

#include "panel/reply_parser.h"
#include "record/measurement_recording.h"
#include "replies/identification.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace {

// The value fields' style sheet dims a field whose "stale" property is set; polished again,
// the field takes the rule that now matches.
void Restyle(QLineEdit* field, bool stale)
{
    field->setProperty("stale", stale);
    field->style()->unpolish(field);
    field->style()->polish(field);
}

} // namespace

// ---- reply handling ----

void TForm1::ShowPair(QPushButton* on, QPushButton* off, bool showOn)
{
    on->setVisible(showOn);
    off->setVisible(!showOn);
}

// A field that already shows the text is left alone: most polled values repeat, and repainting
// them every 60 ms was much of what polling cost.
void TForm1::ShowInField(QLineEdit* field, const QString& text)
{
    if (!field || (field->text() == text && field->cursorPosition() == 0))
        return;
    field->setText(text);
    field->setCursorPosition(0);
}

void TForm1::LogLine(const QString& text) { Tool.AppendLog(text); }

void TForm1::ParseReply(const QString& text)
{
    const QString reply = TrimReply(text);
    if (!reply.isEmpty())
        Tool.AppendLog(QStringLiteral("> ") + reply);
    const int slot = m_cycle.ReplySlot;
    m_recording->Pass().Reply(slot, reply);
    switch (ActionForSlot(slot)) {
    case ReplyAction::Status: {
        const QString statusWord = reply.left(8);
        Tool.ShowStatusWord(statusWord);
        const int word = LeadingDigitsValue(statusWord);
        for (int phase = 1; phase <= 3; ++phase) {
            m_ccIndicators[phase - 1]->setVisible(ConstantCurrentOn(word, phase));
            m_olIndicators[phase - 1]->setVisible(OverloadOn(word, phase));
        }
        m_cycle.StatusPending = false;
        break;
    }
    case ReplyAction::Value:
        ShowSlotValue(slot, ValueText(reply));
        break;
    case ReplyAction::Angle:
        ShowSlotValue(slot, AngleText(reply));
        break;
    case ReplyAction::OutputState:
        ShowPair(m_outputOn, m_outputOff, ReplyMeansOn(reply));
        break;
    case ReplyAction::PhaseState:
        ShowPair(m_phaseOn, m_phaseOff, ReplyMeansOn(reply));
        break;
    case ReplyAction::AuxState:
        ShowPair(m_auxOn, m_auxOff, ReplyMeansOn(reply));
        break;
    case ReplyAction::Identification:
        IdentificationReply(reply);
        break;
    case ReplyAction::Options:
        OptionsReply(reply);
        break;
    case ReplyAction::None:
        break;
    }
    if (slot == 8)
        Tool.ShowStopwatch(m_stopwatch);
    // The output state asked for outside the poll cycle is answered once; what comes after it
    // answers nothing of the panel's.
    if (m_outputStateAsked) {
        m_outputStateAsked = false;
        m_cycle.ReplySlot = 0;
    }
}

void TForm1::ShowSlotValue(int slot, const QString& text)
{
    QLineEdit* field = SlotField(slot);
    if (field && m_staleSlots[static_cast<size_t>(slot)]) {
        m_staleSlots[static_cast<size_t>(slot)] = false;
        Restyle(field, false);
    }
    ShowInField(field, text);
}

void TForm1::ShowReadingsStale()
{
    for (int slot = 2; slot <= 58; ++slot) {
        QLineEdit* field = SlotField(slot);
        if (!field || m_staleSlots[static_cast<size_t>(slot)])
            continue;
        m_staleSlots[static_cast<size_t>(slot)] = true;
        Restyle(field, true);
    }
}

void TForm1::ShowLinkStatus(const QString& text) { m_linkStatus->setText(text); }

QString TForm1::LinkStatus() const { return m_linkStatus->text(); }

// ---- display ----

void TForm1::ResetDisplay()
{
    for (int slot = 2; slot <= 58; ++slot)
        if (QLineEdit* f = SlotField(slot))
            f->setText(QStringLiteral("0.000"));
    for (int i = 0; i < 3; ++i) {
        m_ccIndicators[i]->hide();
        m_olIndicators[i]->hide();
    }
    m_label1->show();
    m_label28->hide();
}

void TForm1::SinglePhaseLayout()
{
    m_cycle.SinglePhase();
    m_label1->show();
    m_label28->hide();
    for (int slot = 10; slot <= 23; ++slot)
        SlotField(slot)->setEnabled(false);
    for (int slot = 44; slot <= 58; ++slot)
        SlotField(slot)->setEnabled(false);
}

void TForm1::ThreePhaseLayout()
{
    m_cycle.ThreePhase();
    m_label1->hide();
    m_label28->show();
    for (int slot = 10; slot <= 23; ++slot)
        SlotField(slot)->setEnabled(true);
    for (int slot = 44; slot <= 58; ++slot)
        SlotField(slot)->setEnabled(true);
}

// ---- identification ----

void TForm1::IdentificationReply(const QString& reply)
{
    const IdentificationReading r = ReadIdentification(reply);
    DeviceIdentType& id = P.DeviceIdent;
    id.Identification = reply;
    P.LastIdentification = reply;
    Tool.ShowCommaPositions(r.CommaPositions);
    id.Manufacturer = r.Manufacturer;
    id.Model = r.Model;
    id.SerialNumber = r.SerialNumber;
    id.Revision = r.Revision;
    Tool.ShowIdentity(id.Manufacturer, id.Model, id.SerialNumber, id.Revision);
    m_label15->setText(id.Model);
    // With CycleBase 1 the status query is no longer polled, nor watched.
    m_cycle.CycleBase = r.CycleBase;
    Tool.ShowRevisionMarker(r.RevisionMarkerText);
    Tool.ShowIdentDetail(QString::number(r.CycleBase).rightJustified(4));
}

void TForm1::OptionsReply(const QString& reply)
{
    const OptionsReading r = ReadOptions(reply);
    P.DeviceIdent.Options = reply;
    Tool.ShowThreePhase(r.ThreePhaseText);
    if (r.ThreePhase)
        ThreePhaseLayout();
    else
        SinglePhaseLayout();
    // An option not reported leaves its buttons as they are.
    if (r.CurrentRangeOption)
        ShowPair(m_irmsX10, m_irmsX1, true);
    if (r.Ot1Option)
        ShowPair(m_ot1Off, m_ot1On, true);
    Tool.ShowIdentDetail(r.OptionText);
}
