#pragma once
// Busy processes on every core for as long as a test wants a loaded machine.

#include <QProcess>
#include <QThread>

#include <list>

// While it lives, every core is kept busy by a process of its own, so that the
// engine's threads and the server's answers interleave as on a loaded machine.
// Each process ends by itself after five minutes should the test die first.
class CpuLoad {
public:
    CpuLoad()
    {
        for (int i = 0; i < QThread::idealThreadCount(); ++i) {
            QProcess& busy = m_processes.emplace_back();
            busy.start("timeout", {"300", "sh", "-c", "while :; do :; done"});
        }
    }
    ~CpuLoad()
    {
        // SIGTERM, which timeout passes on to its loop; a SIGKILL would end
        // timeout alone and leave the loop running with nothing to stop it.
        for (QProcess& busy : m_processes) {
            busy.terminate();
            busy.waitForFinished();
        }
    }
    Q_DISABLE_COPY_MOVE(CpuLoad)

private:
    std::list<QProcess> m_processes;
};
