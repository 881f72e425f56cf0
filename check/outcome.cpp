// Judging the provider's answer to an update.
#include "check/outcome.h"

namespace parlowen {

bool isPageDoneStatus(const QString& statusText)
{
    return statusText == QLatin1String("Done");
}

bool isServiceAnswer(const QString& documentUrl, const QString& serviceUrl)
{
    if (serviceUrl.trimmed().isEmpty())
        return false;
    return documentUrl.contains(serviceUrl, Qt::CaseInsensitive);
}

UpdateOutcome judgeAnswer(const QString& pageText)
{
    return pageText.contains(QStringLiteral("updated successfully"), Qt::CaseInsensitive)
               ? UpdateOutcome::Accepted
               : UpdateOutcome::NotAccepted;
}

QString outcomeMessage(UpdateOutcome outcome)
{
    return outcome == UpdateOutcome::Accepted ? QStringLiteral("The IP has been received")
                                              : QStringLiteral("Error in sending IP");
}

} // namespace parlowen
