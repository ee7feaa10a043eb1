// The poll cycle's reply handling and the identification and options replies: a random slot and
// a random line. The texts a field shows are bounded by the rules (8 characters, 5 and a degree
// sign), whatever arrives.
#include "fuzz/fuzz_support.h"
#include "panel/reply_parser.h"
#include "replies/identification.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int slot = data[0] % 101;
    const QString line = QString::fromLatin1(reinterpret_cast<const char*>(data + 1),
                                             static_cast<qsizetype>(size - 1));
    const QString reply = TrimReply(line);
    FUZZ_CHECK(reply.size() <= line.size());
    switch (ActionForSlot(slot)) {
    case ReplyAction::Status:
        (void)OverloadOn(LeadingDigitsValue(reply.left(8)), 1 + slot % 3);
        break;
    case ReplyAction::Value:
        FUZZ_CHECK(ValueText(reply).size() <= 8);
        break;
    case ReplyAction::Angle:
        FUZZ_CHECK(AngleText(reply).size() <= 6);
        break;
    case ReplyAction::OutputState:
    case ReplyAction::PhaseState:
    case ReplyAction::AuxState:
        (void)ReplyMeansOn(reply);
        break;
    case ReplyAction::Identification:
    case ReplyAction::Options:
    case ReplyAction::None:
        break;
    }
    (void)FieldForSlot(slot);
    const IdentificationReading ident = ReadIdentification(reply);
    FUZZ_CHECK(ident.Manufacturer.size() <= reply.size());
    (void)ReadOptions(reply);
    (void)CutText(reply, slot - 50, static_cast<int>(size) - 40);
    return 0;
}
