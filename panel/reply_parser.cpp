#include "panel/reply_parser.h"

#include <cstdint>

namespace {
bool IsBlankOrControl(QChar c) { return c.unicode() <= 0x20; }
} // namespace

QString TrimReply(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && IsBlankOrControl(text[start]))
        ++start;
    while (end > start && IsBlankOrControl(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

ReplyAction ActionForSlot(int slot)
{
    if (slot == 1)
        return ReplyAction::Status;
    if ((slot >= 2 && slot <= 8) || (slot >= 10 && slot <= 23) || (slot >= 33 && slot <= 36) ||
        slot == 38 || (slot >= 42 && slot <= 55))
        return ReplyAction::Value;
    if (slot == 37 || (slot >= 56 && slot <= 58))
        return ReplyAction::Angle;
    switch (slot) {
    case 9:
    case 39:
        return ReplyAction::OutputState;
    case 40:
        return ReplyAction::PhaseState;
    case 41:
        return ReplyAction::AuxState;
    case 31:
        return ReplyAction::Identification;
    case 32:
        return ReplyAction::Options;
    default:
        return ReplyAction::None;
    }
}

const char* FieldForSlot(int slot)
{
    static const char* const kPhase1[] = {"Edit1", "Edit2", "Edit5", "Edit6",
                                          "Edit7", "Edit8", "Edit9"};
    static const char* const kPhase2[] = {"Edit24", "Edit25", "Edit26", "Edit27",
                                          "Edit28", "Edit29", "Edit30"};
    static const char* const kPhase3[] = {"Edit31", "Edit32", "Edit33", "Edit34",
                                          "Edit35", "Edit36", "Edit37"};
    static const char* const kSettings[] = {"Edit14", "Edit18", "Edit15", "Edit17",
                                            "Edit22", "Edit16", nullptr,  nullptr,
                                            nullptr,  "Edit21", "Edit23"};
    static const char* const kPerPhase[] = {"Edit38", "Edit39", "Edit40", "Edit41", "Edit42",
                                            "Edit43", "Edit44", "Edit45", "Edit46", "Edit47",
                                            "Edit48", "Edit49", "Edit50", "Edit51", "Edit52"};
    if (slot >= 2 && slot <= 8)
        return kPhase1[slot - 2];
    if (slot >= 10 && slot <= 16)
        return kPhase2[slot - 10];
    if (slot >= 17 && slot <= 23)
        return kPhase3[slot - 17];
    if (slot >= 33 && slot <= 43)
        return kSettings[slot - 33];
    if (slot >= 44 && slot <= 58)
        return kPerPhase[slot - 44];
    return nullptr;
}

int LeadingDigitsValue(const QString& text)
{
    qint64 value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + (c.unicode() - '0');
        if (value > INT32_MAX)
            return INT32_MAX;
    }
    return static_cast<int>(value);
}

bool ReplyMeansOn(const QString& trimmed) { return trimmed.left(8) == QLatin1String("1"); }

QString ValueText(const QString& trimmed) { return trimmed.left(8); }

QString AngleText(const QString& trimmed) { return trimmed.left(5) + QChar(0x00B0); }
