#pragma once

#include <QString>
#include <QUrlQuery>

// One request to the line's web view, its path and parameters checked: a page, its data as
// JSON under /api/, a plot, or a style or script compiled into the program. Nothing else is
// served; no path names a file.
struct ViewRequest {
    enum class Kind { Line, Version, Unit, Station, Histogram, ControlChart, Static };
    Kind Page = Kind::Line;
    bool Api = false;
    QString Table;
    QString Version; // the start of a table version, lower case, or "unknown"
    // A set of limits the version's runs were judged by: a limits file's version (its start) and
    // the model whose limits it gave, or "none" for the table's own. Empty: the first there is.
    QString Limits;
    QString LimitsModel;
    QString Serial;
    QString Station;
    QString Step;
    QString SinceText; // YYYY-MM-DD
    qint64 SinceMs = 0;
    int Last = 50;    // values in the control chart
    int PageNo = 1;   // a station's runs, newest first
    QString Resource; // Static: the resource's path
    QString Token;    // given to get in; kept as a cookie
    // What the answer's data depends on: the cache's key (the JSON and the page share data).
    QString DataKey;

    // 0 and the request, or the HTTP status (400, 404, 405) with a one-line reason.
    static ViewRequest Parse(const QString& method, const QString& path, const QUrlQuery& query,
                             int* status, QString* reason);
};

// The days a table version's page covers unless given a start.
constexpr int kDefaultDays = 7;
// A station's runs per page.
constexpr int kRunsPerPage = 50;
