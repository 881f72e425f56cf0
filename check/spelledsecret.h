#pragma once
// Finds a secret however an echo spelled each of its characters: as itself,
// as the %XX escapes of its UTF-8 bytes (either case of hex digit), "+" for
// a space, or as an HTML character reference (decimal, hexadecimal, or one
// of the named ones a password's characters have), in any mix. No list of
// whole encoded forms could hold every such mix: a server that escapes only
// some characters, or a plain-text answer that copies HTML, gives any of them.

#include <QString>
#include <QStringView>

#include <vector>

namespace parlowen {

class SpelledSecret {
public:
    // Letter case is ignored unless cs says otherwise (Base64 keeps it).
    SpelledSecret(const QString& secret, Qt::CaseSensitivity cs);

    // Room for the search to work in, kept from one search to the next.
    struct Scratch {
        std::vector<qsizetype> ends, next;
    };
    // Where the longest spelling of the secret that starts at start ends, or
    // -1. From each start there are at most a few ways per character of the
    // secret, so a search of a text from each of its characters grows with
    // the text's length, never with a power of it.
    qsizetype spelledAt(QStringView text, qsizetype start, Scratch& scratch) const;

    // What a spelling can begin with: its first character in either case, "%" and "&".
    const std::vector<char16_t>& startUnits() const { return m_startUnits; }

    // The character at a place of a text, and what an escape that begins
    // there stands for: read once for all the secrets searched for there.
    struct Lead {
        char16_t unit = 0;
        int percentByte = -1;   // the byte of a "%XX", or -1
        char32_t reference = 0; // the character of a reference, or 0
    };
    static Lead leadAt(QStringView text, qsizetype at);
    // Whether a spelling could begin there: a quick look before spelledAt().
    // Inline, since a search asks it of every secret at every place that
    // begins a spelling of any.
    bool mayBeginWith(const Lead& lead) const
    {
        if (lead.unit == m_firstUnits[0] || lead.unit == m_firstUnits[1] || lead.unit == m_firstUnits[2])
            return true;
        if (lead.percentByte >= 0 || lead.reference != 0)
            return mayBeginWithEscape(lead);
        return lead.unit == u'+' && m_spaceFirst;
    }

    const QString& secret() const { return m_secret; }
    Qt::CaseSensitivity caseSensitivity() const { return m_cs; }

private:
    struct Character {
        char32_t code;
        QByteArray utf8;
    };
    bool same(char32_t a, char32_t b) const;
    bool mayBeginWithEscape(const Lead& lead) const;
    void endsOf(const Character& c, QStringView text, qsizetype at, std::vector<qsizetype>& ends) const;

    QString m_secret;
    Qt::CaseSensitivity m_cs;
    std::vector<Character> m_characters;
    char16_t m_firstUnits[3] = {}; // what the first character can begin with as itself
    std::vector<char16_t> m_startUnits;
    bool m_spaceFirst = false;
};

} // namespace parlowen
