#pragma once
// Asks the router's own services for its external address, in a process of
// its own (parlowen-upnp) that this object owns: it is killed at the
// deadline, when the check is cancelled, and with this object.

#include "check/upnpanswer.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

namespace parlowen {

class GatewayQuery : public QObject {
    Q_OBJECT
public:
    // Runs helperProgram; when empty, the helper beside the program, or
    // where the installation puts it.
    explicit GatewayQuery(QString helperProgram = {}, QObject* parent = nullptr);
    ~GatewayQuery() override;

    // Asks the router at routerHost (as the router's address names it):
    // its NAT-PMP service, then the gateway that answered last time, then
    // any its search finds there. answered() follows once, within
    // UpnpLimit, unless cancel() or a new start() comes first.
    void start(const QString& routerHost, const GatewayControl& remembered = {});
    // Ends the query in flight, if any; it answers nothing.
    void cancel();
    bool isRunning() const { return m_process != nullptr; }

signals:
    void answered(const parlowen::UpnpAnswer& answer);

private:
    void processFinished(int exitCode, QProcess::ExitStatus status);
    void processFailed(QProcess::ProcessError error);
    void finish(const UpnpAnswer& answer);

    QString m_helperProgram;
    QProcess* m_process = nullptr; // child of this object while a query runs
    QTimer m_deadline;
};

// What the helper's output says, in the check's terms.
UpnpAnswer answerFromHelperOutput(const QByteArray& output);

} // namespace parlowen
