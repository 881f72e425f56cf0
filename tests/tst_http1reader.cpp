// HTTP/1.1 answers read from their bytes, whole and a byte at a time, since
// the network may cut them anywhere.
#include "web/http1reader.h"

#include <QTest>

using namespace parlowen;
using State = Http1Reader::State;

Q_DECLARE_METATYPE(parlowen::Http1Reader::State)

namespace {
const QByteArray Ok = "HTTP/1.1 200 OK\r\n";

struct Read {
    State state;
    int status;
    QByteArray headers; // "name=value;" each
    QByteArray body;
};

// Feeds `bytes` in pieces of `piece` bytes, then ends the stream when asked.
Read readAnswer(const QByteArray& bytes, qsizetype piece, bool end, HeaderLimits limits = {})
{
    Http1Reader reader(limits);
    QByteArray body;
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        reader.read(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)), body);
    if (end)
        reader.endOfStream();
    QByteArray headers;
    for (const auto& [name, value] : reader.headers())
        headers += name + '=' + value + ';';
    return {reader.state(), reader.status(), headers, body};
}
} // namespace

class TestHttp1Reader : public QObject {
    Q_OBJECT
private slots:
    void readsAnswersCutAnywhere_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("connectionEnds");
        QTest::addColumn<State>("state");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("headers");
        QTest::addColumn<QByteArray>("body");
        const auto row = [](const char* name, const QByteArray& bytes, bool ends, State state, int status,
                            const QByteArray& headers, const QByteArray& body) {
            QTest::newRow(name) << bytes << ends << state << status << headers << body;
        };
        row("a length-framed body, and nothing after it", Ok + "Content-Length: 5\r\n\r\nhello, more", false,
            State::Done, 200, "Content-Length=5;", "hello");
        row("bare LF line ends and a folded header", "HTTP/1.0 404 Not Found\nX-A: one\n two\n\nbody", true,
            State::Done, 404, "X-A=one two;", "body");
        row("a body until the connection ends", Ok + "\r\nall of it", true, State::Done, 200, "",
            "all of it");
        row("a body until an end that has not come", Ok + "\r\nsome", false, State::Body, 200, "", "some");
        row("chunks with extensions and a trailer",
            Ok +
                "Transfer-Encoding: chunked\r\n\r\n5;x=1\r\nhello\r\nA \r\n, world!!!\r\n0\r\nX-T: 1\r\n\r\n",
            false, State::Done, 200, "Transfer-Encoding=chunked;", "hello, world!!!");
        row("chunked wins over a Content-Length",
            Ok + "Content-Length: 99\r\nTransfer-Encoding: gzip, chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n", false,
            State::Done, 200, "Content-Length=99;Transfer-Encoding=gzip, chunked;", "ok");
        row("a chunk not closed by CRLF", Ok + "Transfer-Encoding: chunked\r\n\r\n2\r\nokX\r\n0\r\n\r\n",
            false, State::Damaged, 200, "Transfer-Encoding=chunked;", "ok");
        row("a negative chunk size", Ok + "Transfer-Encoding: chunked\r\n\r\n-2\r\nok\r\n", false,
            State::Damaged, 200, "Transfer-Encoding=chunked;", "");
        row("chunks cut off by the end", Ok + "Transfer-Encoding: chunked\r\n\r\n5\r\nhel", true, State::Body,
            200, "Transfer-Encoding=chunked;", "hel");
        row("an interim answer, then the answer",
            "HTTP/1.1 100 Continue\r\nX-I: 1\r\n\r\n" + Ok + "X-A: 2\r\n\r\n", true, State::Done, 200,
            "X-A=2;", "");
        row("no body after a 204, whatever follows", "HTTP/1.1 204 No Content\r\n\r\nstray", false,
            State::Done, 204, "", "");
        row("two Content-Length values", Ok + "Content-Length: 2\r\nContent-Length: 3\r\n\r\nabc", false,
            State::Damaged, 200, "Content-Length=2;Content-Length=3;", "");
        row("a line that is no header is passed over", Ok + "no colon here\r\n: empty name\r\nX-A: 1\r\n\r\n",
            true, State::Done, 200, "X-A=1;", "");
        row("not HTTP at all", "SSH-2.0-OpenSSH\r\n\r\n", true, State::Damaged, 0, "", "");
        row("a status of four digits", "HTTP/1.1 2000 OK\r\n\r\n", true, State::Damaged, 0, "", "");
    }
    void readsAnswersCutAnywhere()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, connectionEnds);
        QFETCH(State, state);
        for (const qsizetype piece : {bytes.size(), qsizetype(1), qsizetype(7)}) {
            const Read read = readAnswer(bytes, piece, connectionEnds);
            QVERIFY2(read.state == state,
                     qPrintable(QStringLiteral("state %1 in pieces of %2").arg(int(read.state)).arg(piece)));
            QTEST(read.status, "status");
            QTEST(read.headers, "headers");
            QTEST(read.body, "body");
        }
    }

    // A header block is read up to its limits and no byte further, however
    // the bytes arrive: exactly at a limit passes, one more is damaged.
    void headerBlockLimits_data()
    {
        QTest::addColumn<QByteArray>("block"); // the status line and header lines; the empty line follows
        QTest::addColumn<bool>("read");
        // The limits count the empty line that ends the block.
        const QByteArray nineLines = Ok + QByteArray("X-A: 1\r\n").repeated(8);
        QTest::newRow("the line limit") << nineLines << true;
        QTest::newRow("one line over") << nineLines + "X-B: 1\r\n" << false;
        const QByteArray filler = "X-F: " + QByteArray(1000 - Ok.size() - 2 - 7, 'f') + "\r\n";
        QTest::newRow("the byte limit") << Ok + filler << true;
        QTest::newRow("one byte over") << Ok + "X" + filler << false;
        QTest::newRow("a line that never ends") << Ok + "X-F: " + QByteArray(5000, 'f') << false;
    }
    void headerBlockLimits()
    {
        QFETCH(QByteArray, block);
        QFETCH(bool, read);
        const HeaderLimits limits{.bytes = 1000, .lines = 10};
        for (const qsizetype piece : {block.size() + 2, qsizetype(1), qsizetype(64)}) {
            const Read answer = readAnswer(block + "\r\n", piece, true, limits);
            QVERIFY2((answer.state == State::Done) == read,
                     qPrintable("in pieces of " + QString::number(piece)));
        }
    }
};

QTEST_GUILESS_MAIN(TestHttp1Reader)
#include "tst_http1reader.moc"
