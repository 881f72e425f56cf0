// The UPnP query as a process the check owns.
#include "upnp/gatewayquery.h"

#include "common/companionfile.h"
#include "upnp/helperreply.h"

#include <string_view>

namespace parlowen {

namespace {
using upnp::HelperReply;
} // namespace

UpnpAnswer answerFromHelperOutput(const QByteArray& output)
{
    const std::optional<HelperReply> reply = upnp::parseReply(std::string_view(output.data(), output.size()));
    if (!reply)
        return {UpnpFailure::QueryFailed, QStringLiteral("its helper gave no answer")};
    const QString text = QString::fromUtf8(reply->text.data(), qsizetype(reply->text.size()));
    switch (reply->kind) {
    case HelperReply::Kind::Address:
        if (reply->service == HelperReply::Service::NatPmp)
            return RouterAnswer{text, AddressSource::NatPmp};
        return RouterAnswer{text,
                            AddressSource::Upnp,
                            {QString::fromUtf8(reply->controlUrl), QString::fromUtf8(reply->serviceType)}};
    case HelperReply::Kind::NoGateway:
        return UpnpFailure::NoGateway;
    case HelperReply::Kind::Elsewhere:
        return {UpnpFailure::GatewayElsewhere, text};
    case HelperReply::Kind::NotAGateway:
        return UpnpFailure::NotAGateway;
    case HelperReply::Kind::GatewayError:
        return {UpnpFailure::GatewayError, QStringLiteral("error %1").arg(text)};
    case HelperReply::Kind::Unresolved:
        return UpnpFailure::Unresolved;
    }
    return UpnpFailure::QueryFailed;
}

GatewayQuery::GatewayQuery(QString helperProgram, QObject* parent)
    : QObject(parent),
      m_helperProgram(helperProgram.isEmpty() ? companionFile(QStringLiteral("parlowen-upnp"))
                                              : helperProgram)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(UpnpLimit);
    connect(&m_deadline, &QTimer::timeout, this, [this] { finish(UpnpFailure::NoAnswerInTime); });
}

GatewayQuery::~GatewayQuery()
{
    cancel();
}

void GatewayQuery::start(const QString& routerHost, const GatewayControl& remembered)
{
    cancel();
    m_process = new QProcess(this);
    m_process->setProgram(m_helperProgram);
    QStringList arguments{routerHost};
    if (!remembered.isEmpty())
        arguments << remembered.controlUrl << remembered.serviceType;
    m_process->setArguments(arguments);
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    connect(m_process, &QProcess::finished, this, &GatewayQuery::processFinished);
    connect(m_process, &QProcess::errorOccurred, this, &GatewayQuery::processFailed);
    m_deadline.start();
    m_process->start(QIODevice::ReadOnly);
}

void GatewayQuery::cancel()
{
    m_deadline.stop();
    if (!m_process)
        return;
    QProcess* process = std::exchange(m_process, nullptr);
    process->disconnect(this);
    // SIGKILL: the helper holds nothing that needs putting away.
    process->kill();
    process->waitForFinished(1000);
    process->deleteLater(); // this may run inside one of its signals
}

void GatewayQuery::processFinished(int exitCode, QProcess::ExitStatus status)
{
    if (status != QProcess::NormalExit || exitCode != 0)
        return finish(
            {UpnpFailure::QueryFailed, QStringLiteral("its helper ended with status %1").arg(exitCode)});
    finish(answerFromHelperOutput(m_process->read(qint64(upnp::MaxReplyBytes) + 1)));
}

void GatewayQuery::processFailed(QProcess::ProcessError error)
{
    // A crash is reported by finished() too, with the status that says so.
    if (error == QProcess::FailedToStart) {
        finish({UpnpFailure::QueryFailed, QStringLiteral("its helper %1 could not be started: %2")
                                              .arg(m_helperProgram, m_process->errorString())});
    }
}

void GatewayQuery::finish(const UpnpAnswer& answer)
{
    // Over before it is told, so that whoever hears it may start another.
    cancel();
    emit answered(answer);
}

} // namespace parlowen
