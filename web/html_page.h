#pragma once

#include "web/view_request.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// The view's pages as HTML, made from the same JSON /api/ gives: the whole document for the
// first load, and its main part alone for the page's script to put in place every refresh.
// Every value shown is escaped.
namespace HtmlPage {

QString Title(const ViewRequest& request);
// The main part: data null when none was ever read; down says since when the source has not
// answered (the data shown is then the last good), error why.
QString Main(const ViewRequest& request, const QJsonObject* data, const QString& down,
             const QString& error);
QByteArray Document(const QString& title, const QString& main, int refreshMs);

// For the parts of each page.
QString Esc(const QString& text);
QString Esc(const QJsonValue& value);
// A JSON time as people read it here: "10:42:07" today, "2026-12-01 10:42" before.
QString Time(const QJsonValue& iso);
// A figure with six significant digits, blank for none.
QString Figure(const QJsonValue& v, char format = 'g', int precision = 6);
// A link to a page with the given parameters, its text escaped.
QString Link(const QString& path, const QList<std::pair<QString, QString>>& query,
             const QString& text);
// A verdict as a coloured mark.
QString Verdict(const QJsonValue& verdict);

QString LineMain(const QJsonObject& o);
QString VersionMain(const QJsonObject& o);
QString UnitMain(const QJsonObject& o);
QString StationMain(const QJsonObject& o);

} // namespace HtmlPage
