// The small state file of --if-changed.
#include "cli/laststate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

namespace parlowen::cli {

namespace {
const QByteArray Header = "# parlowen-check: the last address the provider accepted\n";

// The address as the router wrote it may hold a lone CR or LF, which would
// end the line early.
QByteArray fieldValue(const QString& text)
{
    return QUrl::toPercentEncoding(text, ".:");
}

QString fromFieldValue(const QByteArray& value)
{
    return QUrl::fromPercentEncoding(value);
}
} // namespace

QByteArray updateTarget(const QString& serviceUrl, const QString& userName, const QString& host)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& part : {serviceUrl, userName, host}) {
        hash.addData(part.toUtf8());
        hash.addData(QByteArrayView("\n", 1));
    }
    return hash.result().toHex();
}

LastAcceptanceRead readLastAcceptance(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString())};

    LastAcceptance last;
    // A state file is a few hundred bytes; anything much larger is not ours.
    const QByteArray content = file.read(64 * 1024);
    for (const QByteArray& raw : content.split('\n')) {
        const QByteArray line = raw.trimmed();
        const qsizetype eq = line.indexOf('=');
        if (line.startsWith('#') || eq < 0)
            continue;
        const QByteArray key = line.left(eq);
        const QByteArray value = line.mid(eq + 1);
        if (key == "address")
            last.address = fromFieldValue(value);
        else if (key == "accepted")
            last.acceptedAt = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODate).toUTC();
        else if (key == "host")
            last.host = fromFieldValue(value);
        else if (key == "target")
            last.target = value;
    }
    if (!last.acceptedAt.isValid() || last.target.isEmpty())
        return {std::nullopt, QStringLiteral("%1 is not a state file this program wrote").arg(path)};
    return {last, {}};
}

QString writeLastAcceptance(const QString& path, const LastAcceptance& last)
{
    const QString directory = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(directory))
        return QStringLiteral("the folder %1 cannot be created").arg(directory);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
    // The new file would otherwise get the umask's permissions; it says
    // where the owner's host points, which is nobody else's business.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return QStringLiteral("%1 cannot be made private: %2").arg(path, file.errorString());
    }
    const QByteArray content = Header + "address=" + fieldValue(last.address) + "\n" +
                               "accepted=" + last.acceptedAt.toUTC().toString(Qt::ISODate).toLatin1() + "\n" +
                               "host=" + fieldValue(last.host) + "\n" + "target=" + last.target + "\n";
    // Qt 6.4 commits a file whose write came up short as if nothing were wrong.
    if (file.write(content) != content.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return QStringLiteral("%1 cannot be written: %2").arg(path, reason);
    }
    if (!file.commit())
        return QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
    return {};
}

} // namespace parlowen::cli
