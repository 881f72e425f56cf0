#pragma once
// A page parsed once: the sheets it links to are read from its tree, and
// once they are in, its text from the same tree, without a second parse.
//
// The tree is never changed once parsed, so a parsed page may be handed
// from thread to thread and read on any, by several at once; each reading
// has its own cancel flag. It keeps the page's decoded bytes and gumbo's
// arena, within the memory budget the arena gives a page of its size.

#include "common/result.h"
#include "common/workbudget.h"
#include "css/pagestylesheets.h"
#include "html/htmlprepass.h"
#include "html/pagetext.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUrl>

#include <atomic>
#include <memory>
#include <vector>

namespace parlowen {

struct InnerTextTrace;

class ParsedPage {
public:
    ParsedPage(const ParsedPage&) = delete;
    ParsedPage& operator=(const ParsedPage&) = delete;
    ~ParsedPage();

    // The page's bytes as a load gave them; contentType is the raw
    // Content-Type, possibly empty. A page too complex to parse, or one whose
    // parse was cancelled, is still a parsed page: its text says why not.
    static std::shared_ptr<const ParsedPage> parse(QByteArray body, QByteArrayView contentType,
                                                   const std::atomic<bool>* cancelled = nullptr);
    // A page already decoded to UTF-8, with the placeholders on or off.
    static std::shared_ptr<const ParsedPage> parseUtf8(QByteArray utf8Html, TextPlaceholders placeholders,
                                                       InnerTextTrace* trace,
                                                       const std::atomic<bool>* cancelled = nullptr);

    // The sheets the page at pageUrl links to with <link rel=stylesheet>, or
    // imports from a <style> element, from its own origin, each once, in
    // document order; none for a page that says neither "stylesheet" nor
    // "@import".
    std::vector<QUrl> linkedStyleSheets(const QUrl& pageUrl,
                                        const std::atomic<bool>* cancelled = nullptr) const;

    // The text of the page with its sheets. Where the linked sheets would
    // take the page past its budgets, it is read as without them, and never
    // refused for their sake. The page is let go of before the text is
    // widened to UTF-16, so that its tree and the text are not held at once
    // when this was its last holder.
    static Result<PageText, PageTextError> text(std::shared_ptr<const ParsedPage> page,
                                                const PageStyleSheets* sheets,
                                                const std::atomic<bool>* cancelled = nullptr);

    // The page's bytes, as they came.
    qsizetype bytes() const { return m_bytes; }

private:
    struct Tree;
    ParsedPage() = default;
    static std::unique_ptr<ParsedPage> parsed(QByteArray utf8, TextPlaceholders placeholders,
                                              InnerTextTrace* trace, const std::atomic<bool>* cancelled);
    static std::unique_ptr<Tree> parsedTree(QByteArray utf8, TextPlaceholders placeholders,
                                            InnerTextTrace* trace, WorkBudget parsing);

    qsizetype m_bytes = 0;
    bool m_plainText = false;
    QString m_plain; // a text/plain page's text, its lines ended by "\r\n"
    bool m_mayLinkSheets = false;
    bool m_cancelled = false;     // the parse was stopped before its end
    std::unique_ptr<Tree> m_tree; // null when the page was too complex, or cancelled
};

} // namespace parlowen
