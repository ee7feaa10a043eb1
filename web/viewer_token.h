#pragma once

#include <QByteArray>
#include <QString>

// The token a viewer gives once (/?token=…) to see the line's view from another machine; a
// cookie keeps it.
namespace ViewerToken {

// The token of the file (its first line), or empty with the reason: a file that cannot be
// read, or a token shorter than 16 characters or of others than letters, digits and -._~.
QString Read(const QString& path, QString* error);
// Whether given equals token, in a time that does not tell how much of it did.
bool Matches(const QString& given, const QString& token);
// The token the request's Cookie header carries, or empty.
QString FromCookies(const QByteArray& cookieHeader);
// The Set-Cookie value that keeps the token: HttpOnly, SameSite=Strict, for a year.
QByteArray Cookie(const QString& token);

} // namespace ViewerToken
