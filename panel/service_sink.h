#pragma once

#include <QString>

// What the control panel writes into the service tool: the traffic log and the named scratch and
// identification fields (Edit53, Edit1, Label17, ...).
class ServiceToolSink {
public:
    virtual ~ServiceToolSink() = default;
    virtual void AppendLog(const QString& line) = 0;
    virtual void SetFieldText(const QString& objectName, const QString& text) = 0;
    virtual QString FieldText(const QString& objectName) const = 0;
    virtual void ShowTool() = 0;
};
