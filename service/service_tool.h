#pragma once

#include "link/gpib_messages.h"
#include "panel/program_state.h"
#include "panel/service_sink.h"

#include <QDialog>
#include <QHash>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;

// TForm5, the service tool ("Tool"): the traffic log and the fields other windows write into.
// It exists for the whole run; the logo shows it and "Close" hides it again.
class TForm5 : public QDialog, public ServiceToolSink, public GpibMessages {
    Q_OBJECT

public:
    explicit TForm5(ProgramState& state, QWidget* parent = nullptr);
    ~TForm5() override;

    // ServiceToolSink
    void AppendLog(const QString& line) override;
    void SetFieldText(const QString& objectName, const QString& text) override;
    QString FieldText(const QString& objectName) const override;
    void ShowTool() override;

    // GpibMessages
    void AppendErrBox(const QString& line) override;
    void ClearErrBox() override;
    void SetMeter(const QString& text) override;

    QPlainTextEdit* Memo1() const { return m_memo1; }
    QListWidget* ErrBox() const { return m_errBox; }
    QLineEdit* Meter() const { return m_meter; }

private:
    QWidget* Named(const QString& objectName) const;

    ProgramState& S;
    mutable QHash<QString, QWidget*> m_named;
    QPlainTextEdit* m_memo1 = nullptr;
    QListWidget* m_errBox = nullptr;
    QLineEdit* m_meter = nullptr;
};
