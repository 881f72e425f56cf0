#pragma once
// A page's sheets read into the cascade's rules, the sheets they import
// first, within the page's work budget.

#include "css/cascaderules.h"
#include "css/pagestylesheets.h"
#include "css/sheetreader.h"

#include <QByteArrayView>
#include <QUrl>

#include <atomic>
#include <cstdint>
#include <vector>

namespace parlowen {

class SheetParser {
public:
    SheetParser(CascadeRules& rules, std::uint64_t* work, std::uint64_t budget,
                const std::atomic<bool>* cancelled)
        : m_rules(rules), m_work(work), m_budget(budget), m_cancelled(cancelled)
    {}

    bool stopped() const { return m_stopped; }

    // A sheet at url (the document's base for a <style>), the sheets it
    // imports first.
    void sheet(QByteArrayView text, const QUrl& url);

    void setSheets(const PageStyleSheets* sheets) { m_sheets = sheets; }

private:
    bool shouldStop();
    // Rules up to the end of the sheet, or of the block (its brace consumed).
    void ruleList(SheetReader& reader, int depth, bool topLevel);
    void atRule(SheetReader& reader, int depth, bool importAllowed);
    // An imported sheet we were given, from the page's origin, not already
    // being read (a loop), for media we are.
    void import(const std::vector<CssToken>& prelude);
    void skipBlock(SheetReader& reader);
    void qualifiedRule(SheetReader& reader);
    // About what a kept selector takes, its rule and its place in an index
    // included: enough to keep a sheet of a million tiny rules from taking
    // gigabytes.
    static std::size_t footprint(const Selector& selector);

    CascadeRules& m_rules;
    std::uint64_t* m_work;
    std::uint64_t m_budget;
    const std::atomic<bool>* m_cancelled;
    std::uint64_t m_nextCheck = 0;
    bool m_stopped = false;
    const PageStyleSheets* m_sheets = nullptr;
    // The sheets being read, each importing the next.
    std::vector<QUrl> m_importing;
    std::vector<bool> m_importsAllowed;
};

} // namespace parlowen
