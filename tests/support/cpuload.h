#pragma once
// Busy processes on every core for as long as a test wants a loaded machine.

#include <QProcess>
#include <QStringList>
#include <QThread>

#include <list>

// A busy loop that ends with the process that started it: the tests start it
// under timeout, and a SIGKILL (a QProcess destroyed while it runs, a test
// killed at its deadline) ends timeout alone. So the loop also stops once its
// parent is no longer the one it started under, as its own /proc entry tells;
// shell builtins only, and not the parent's /proc entry, which stays while
// the parent is an unreaped zombie.
inline const QStringList BusyLoop{
    "timeout", "300", "sh", "-c",
    "p=$PPID; while read -r s < /proc/$$/stat && set -- $s && [ \"$4\" = \"$p\" ]; do :; done"};

// While it lives, every core is kept busy by a process of its own, so that the
// engine's threads and the server's answers interleave as on a loaded machine.
// Each process ends by itself after five minutes should the test die first.
class CpuLoad {
public:
    CpuLoad()
    {
        for (int i = 0; i < QThread::idealThreadCount(); ++i) {
            QProcess& busy = m_processes.emplace_back();
            busy.start(BusyLoop.first(), BusyLoop.mid(1));
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
