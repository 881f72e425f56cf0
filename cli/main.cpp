// parlowen-check: one check of the WAN address, without a window.
#include "cli/checkcommand.h"
#include "cli/journalstream.h"
#include "common/filesizelimit.h"
#include "common/nocoredumps.h"

#include <QCoreApplication>

#include <malloc.h>

int main(int argc, char* argv[])
{
    parlowen::forbidCoreDumps();
    parlowen::makeFileSizeLimitAnError();
    // A large router page passes through a few buffers of its size, one after
    // the other. glibc would raise its mmap threshold after the first is
    // freed and keep the next ones in the heap, where freeing them does not
    // give the memory back; a fixed threshold returns each at once.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    // Below that threshold, the reads of a page come and go by the hundred
    // kilobytes; trimming the heap each time one is freed made the kernel
    // fault the next one in afresh, which on a virtual machine cost a page
    // read over HTTP more CPU than reading it did.
    mallopt(M_TRIM_THRESHOLD, 8 * 1024 * 1024);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlowen-check"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PARLOWEN_VERSION));
    return parlowen::cli::withConsoleStreams([](QTextStream& out, QTextStream& err) {
        return parlowen::cli::run(QCoreApplication::arguments(), out, err);
    });
}
