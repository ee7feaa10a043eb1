#include "web/viewer_token.h"

#include <QFile>
#include <QRegularExpression>

namespace ViewerToken {

namespace {

const char* const kCookieName = "tav_view";

} // namespace

QString Read(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("--token-file %1: %2").arg(path, file.errorString());
        return {};
    }
    const QString token = QString::fromUtf8(file.readLine(4096)).trimmed();
    static const QRegularExpression shape(QStringLiteral("^[A-Za-z0-9._~-]{16,256}$"));
    if (!shape.match(token).hasMatch()) {
        *error = QStringLiteral("--token-file %1: the token must be 16 or more letters, digits "
                                "or -._~ on the first line")
                     .arg(path);
        return {};
    }
    return token;
}

bool Matches(const QString& given, const QString& token)
{
    const QByteArray a = given.toUtf8();
    const QByteArray b = token.toUtf8();
    if (b.isEmpty() || a.size() != b.size())
        return false;
    unsigned char differ = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        differ |= static_cast<unsigned char>(a[i] ^ b[i]);
    return differ == 0;
}

QString FromCookies(const QByteArray& cookieHeader)
{
    for (const QByteArray& part : cookieHeader.split(';')) {
        const QByteArray pair = part.trimmed();
        const qsizetype eq = pair.indexOf('=');
        if (eq > 0 && pair.left(eq) == kCookieName)
            return QString::fromLatin1(pair.mid(eq + 1));
    }
    return {};
}

QByteArray Cookie(const QString& token)
{
    return QByteArray(kCookieName) + '=' + token.toLatin1() +
           "; Path=/; HttpOnly; SameSite=Strict; Max-Age=31536000";
}

} // namespace ViewerToken
