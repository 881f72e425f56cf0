#pragma once
// A page's sheets read into the cascade's rules, the sheets they import
// first, within the page's work budget.

#include "css/cascaderules.h"
#include "css/pagestylesheets.h"
#include "css/sheetreader.h"
#include "css/sheeturls.h"

#include <QByteArrayView>
#include <QUrl>

#include <cstdint>
#include <memory>
#include <vector>

namespace parlowen {

class SheetParser {
public:
    SheetParser(CascadeRules& rules, WorkBudget& work) : m_rules(rules), m_work(work) {}

    bool stopped() const { return m_stopped || !m_work.mayGoOn(); }

    // A sheet at url (the document's base for a <style>), the sheets it
    // imports first.
    void sheet(QByteArrayView text, const QUrl& url) { sheetIn(text, url, RuleContext()); }

    // A sheet as it was fetched, its byte order mark and all.
    void fetchedSheet(QByteArrayView bytes, const QUrl& url)
    {
        // Read in another encoding, its names may not be the page's.
        m_rules.pageDoubtful = m_rules.pageDoubtful || !readsAsUtf8(bytes);
        sheet(withoutByteOrderMark(bytes), url);
    }

    void setSheets(const PageStyleSheets* sheets) { m_sheets = sheets; }

private:
    // What the rules being read are inside of.
    struct RuleContext {
        uint32_t layer = CascadeLayers::kUnlayered;
        // The enclosing style rule's selectors, and the most specific's
        // specificity.
        std::shared_ptr<const std::vector<Selector>> parent;
        uint32_t parentSpecificity = 0;
        std::shared_ptr<const ScopeRange> scope;
        int depth = 0;
    };

    void sheetIn(QByteArrayView text, const QUrl& url, const RuleContext& context);
    // Rules up to the end of the sheet, or of the block (its brace consumed).
    void ruleList(SheetReader& reader, const RuleContext& context, bool topLevel);
    // Whether the group rule's conditions are read: its rules are left out
    // only when they fail.
    static bool readsGroupRule(const QByteArray& name, const RuleContext& context);
    void atRule(SheetReader& reader, const RuleContext& context, bool importAllowed);
    // The context of a group rule's block, or nullopt when its rules never
    // apply.
    std::optional<RuleContext> groupContext(const QByteArray& name, const std::vector<CssToken>& prelude,
                                            const SheetReader& reader, const RuleContext& context);
    void layerStatement(const std::vector<CssToken>& prelude, const RuleContext& context);
    // An imported sheet we were given, from the page's origin, not already
    // being read (a loop), for media we are, and its supports() holding.
    void import(const std::vector<CssToken>& prelude, const QByteArray& text, const RuleContext& context);
    void skipBlock(SheetReader& reader);
    // A style rule, nested in another when context has a parent.
    void qualifiedRule(SheetReader& reader, const RuleContext& context);
    // A style rule's block: its declarations, and the rules nested in it,
    // up to its closing brace (consumed).
    void styleBlock(SheetReader& reader, const RuleContext& context);
    // A declaration of a style rule's block, or false (read past nothing)
    // when it is a nested rule.
    bool declaration(SheetReader& reader, std::vector<Declaration>& out, UnreadDeclarations* unread);
    // Doubtful rules' elements may be shown otherwise than they read.
    void addRules(const std::vector<Selector>& selectors, const std::vector<Declaration>& declarations,
                  bool doubtful,
                  const RuleContext& context);
    // A rule past a limit, read past and counted.
    void drop(SheetReader& reader);
    // About what a kept selector takes, its rule and its place in an index
    // included: enough to keep a sheet of a million tiny rules from taking
    // gigabytes.
    static std::size_t footprint(const Selector& selector);

    CascadeRules& m_rules;
    WorkBudget& m_work;
    bool m_stopped = false; // by the memory the rules may take
    const PageStyleSheets* m_sheets = nullptr;
    // The sheets being read, each importing the next.
    std::vector<QUrl> m_importing;
    std::vector<bool> m_importsAllowed;
};

} // namespace parlowen
