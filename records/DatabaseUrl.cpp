#include "records/DatabaseUrl.h"

#include <QRegularExpression>
#include <QUrl>

namespace records {

std::optional<DatabaseUrl> ParseDatabaseUrl(const QString& url, QString& error) {
    DatabaseUrl parsed;
    parsed.text = url;
    if (url.startsWith("postgresql://") || url.startsWith("postgres://")) {
        // USER@HOST[:PORT]/DATABASE, each part percent-decoded as libpq does; nothing more, so
        // that no option reaches the driver unread.
        static const QRegularExpression form(
            R"(^postgres(?:ql)?://([^@/:?#]+)@([^@/:?#]+)(?::(\d{1,5}))?/([^/?#]+)$)");
        // A password in the URL would show in the process list and in every log that echoes
        // the command line; libpq takes it from elsewhere.
        static const QRegularExpression password(R"(^postgres(?:ql)?://[^@/?#]*:[^@/?#]*@)");
        if (url.contains(password)) {
            error = "a password does not go in the URL: give it by PGPASSWORD or ~/.pgpass";
            return std::nullopt;
        }
        const QRegularExpressionMatch match = form.match(url);
        if (!match.hasMatch()) {
            error = "a PostgreSQL URL reads postgresql://USER@HOST[:PORT]/DATABASE";
            return std::nullopt;
        }
        const auto decoded = [](const QString& part) {
            return QUrl::fromPercentEncoding(part.toUtf8());
        };
        parsed.kind = DatabaseUrl::Kind::Postgresql;
        parsed.user = decoded(match.captured(1));
        parsed.host = decoded(match.captured(2));
        if (!match.captured(3).isEmpty()) parsed.port = match.captured(3).toInt();
        parsed.database = decoded(match.captured(4));
        if (parsed.port < 1 || parsed.port > 65535) {
            error = "the port must be from 1 to 65535";
            return std::nullopt;
        }
        return parsed;
    }
    if (url.contains("://")) {
        error = "records go to sqlite:PATH, a plain PATH or postgresql://USER@HOST[:PORT]/DATABASE";
        return std::nullopt;
    }
    parsed.path = url.startsWith("sqlite:") ? url.mid(7) : url;
    if (parsed.path.isEmpty()) {
        error = "sqlite: needs the database file's path";
        return std::nullopt;
    }
    return parsed;
}

} // namespace records
