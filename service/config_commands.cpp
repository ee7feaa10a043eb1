#include "service/config_commands.h"

#include <algorithm>

namespace {

constexpr int kModels = 6;

struct ModelRow {
    const char* name;
    const char* power;
};

constexpr ModelRow kModelRows[kModels] = {{"TAV-0400-PS", "500"},  {"TAV-0800-PS", "1000"},
                                          {"TAV-1600-PS", "2000"}, {"TAV-2200-PS", "2750"},
                                          {"TAV-3000-PS", "3750"}, {"TAV-4600-PS", "5750"}};

struct VoltageRow {
    const char* item;
    const char* voltage;
    const char* acVoltage;
    const char* current[kModels]; // by model, in the order of kModelRows
};

constexpr VoltageRow kVoltageRows[] = {
    {"Standard", "425", "300", {"3", "6", "12", "16", "20", "30"}},
    {"HV / 500 Vrms", "700", "500", {"1.8", "3.6", "7.2", "9.6", "12", "18"}},
    {"XHV / 700 Vrms", "1000", "700", {"1.5", "3", "6", "8", "10", "15"}}};

struct ItemValue {
    const char* item;
    const char* value;
};

constexpr ItemValue kFrequencyRows[] = {
    {"Standard", "500"}, {"F1 / 1000 Hz", "1000"}, {"F2 / 2000 Hz", "2000"}};

constexpr ItemValue kOptionRows[] = {{"None", "0"}, {"OT1", "1"}, {"MB2", "4"}, {"BDG", "5"}};

template <typename Row, size_t N> QStringList Items(const Row (&rows)[N])
{
    QStringList items;
    for (const Row& row : rows)
        items.append(QString::fromLatin1(row.item));
    return items;
}

// The radio groups always have an item checked; an index outside them falls back to the first.
template <typename Row, size_t N> const Row& At(const Row (&rows)[N], int index)
{
    return rows[index >= 0 && index < static_cast<int>(N) ? index : 0];
}

} // namespace

QStringList ConfigModelItems()
{
    QStringList items;
    for (const ModelRow& row : kModelRows)
        items.append(QString::fromLatin1(row.name));
    return items;
}

QStringList ConfigVoltageItems() { return Items(kVoltageRows); }

QStringList ConfigFrequencyItems() { return Items(kFrequencyRows); }

QStringList ConfigOptionItems() { return Items(kOptionRows); }

ConfigCommandTable BuildConfigCommands(const ConfigSelection& selection, const QString& lastPower,
                                       const QString& lastCurrent)
{
    const VoltageRow& voltage = At(kVoltageRows, selection.Voltage);
    ConfigCommandTable table{{}, lastPower, lastCurrent};
    const auto model =
        std::find_if(std::begin(kModelRows), std::end(kModelRows), [&](const ModelRow& row) {
            return selection.Model == QLatin1String(row.name);
        });
    if (model != std::end(kModelRows)) {
        table.Power = QString::fromLatin1(model->power);
        table.Current = QString::fromLatin1(voltage.current[model - std::begin(kModelRows)]);
    }
    const QByteArray power = table.Power.toLatin1();
    const QByteArray current = table.Current.toLatin1();
    table.Lines = {"setpower," + power + '\n',
                   QByteArray("setvolt,") + voltage.voltage + '\n',
                   QByteArray("setvoltac,") + voltage.acVoltage + '\n',
                   "setcurr," + current + '\n',
                   QByteArray("setfreq,") + At(kFrequencyRows, selection.Frequency).value + '\n',
                   QByteArray("setopt,") + At(kOptionRows, selection.Option).value + '\n',
                   "eepreset\n",
                   "sour:voltac,0\n",
                   "sour:curr," + current + '\n',
                   "sour:currmax," + current + '\n',
                   "dflt,0,\n",
                   "outp:pon,0\n"};
    return table;
}
