#pragma once

#include "panel/panel_state.h"

#include <QDialog>
#include <array>

class QLabel;

// TForm3, "Device Info": the identity of the connected instrument. The labels are refreshed at
// every paint, so they follow the poll cycle, which goes on while the window is open.
class TForm3 : public QDialog {
    Q_OBJECT

public:
    explicit TForm3(const PanelState& panel, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void RefreshValues();

    const PanelState& P;
    std::array<QLabel*, 5> m_values{};
};
