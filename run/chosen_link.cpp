#include "run/chosen_link.h"

#include "common/text_file.h"
#include "link/link_state.h"
#include "link/serial_device.h"

#include <QFileInfo>

LinkStart StartChosenLink(LinkState& L, PanelState& P, ProgramPlaces& F, const LinkChoice& choice,
                          const PortLostHandler& portLost)
{
    LinkStart start;
    const QString& configFile = choice.ConfigFile;
    if (!configFile.isEmpty() && !QFileInfo(configFile).isFile()) {
        start.Error = FileErrorText(configFile, QStringLiteral("no such configuration file"));
        return start;
    }
    // Optional as for the desktop program: only a GPIB link needs it.
    const bool gpibBound = L.GpibLib.BindGpibLibrary() == 0;
    L.DiscoveryDeferred = choice.OpenLater;
    QString configWarning;
    const QString warning = StartProgramState(L, P, F, portLost, [&](LinkSettings& link) {
        if (!configFile.isEmpty())
            configWarning = ReadLinkConfig(configFile, link).warning;
        if (choice.Port) {
            link.IoType = 0;
            link.PortText = QString::number(*choice.Port);
        } else if (choice.GpibAddress) {
            link.IoType = 2;
            link.GpibAddress = *choice.GpibAddress;
        } else if (!choice.GpibName.isEmpty()) {
            link.IoType = 1;
            link.GpibDeviceName = choice.GpibName;
        }
    });
    for (const QString& w : {warning, configWarning})
        if (!w.isEmpty())
            start.Warnings << w;
    L.Gpib.SetDeviceName(L.Settings.GpibDeviceName);

    if (L.SerialLink && !choice.OpenLater) {
        start.Error = InstrumentPortProblem(L);
    } else if (!L.SerialLink && !gpibBound) {
        start.Error = QStringLiteral("%1: the GPIB library %2 is not available")
                          .arg(LinkName(L), QString::fromLatin1(GpibLibrary::kLibraryFileName));
    }
    return start;
}

QString InstrumentPortProblem(const LinkState& L)
{
    if (!L.SerialLink || L.ComPort(1).Active())
        return {};
    const int port = L.Settings.PortText.toInt();
    // The cause the open met, without opening again: a network port would connect again.
    const int error = L.ComPort(1).OpenError();
    QString why = error != 0 ? SerialOpenProblem(port, error) : SerialOpenProblem(port);
    if (why.isEmpty())
        why = QStringLiteral("port not available");
    return QStringLiteral("%1: %2").arg(LinkName(L), why);
}
