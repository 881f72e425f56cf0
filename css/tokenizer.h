#pragma once
// CSS as a browser tokenizes it (CSS Syntax Level 3), read as a stream so
// that a sheet of any size never becomes a second, larger list of tokens.

#include "common/asciitext.h"
#include "common/workbudget.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>

namespace parlowen {

struct CssToken {
    enum class Type : uint8_t {
        Ident,
        Function,
        AtKeyword,
        Hash,
        String,
        BadString,
        Url,
        BadUrl,
        Delim,
        Number,
        Percentage,
        Dimension,
        Whitespace,
        Cdo,
        Cdc,
        Colon,
        Semicolon,
        Comma,
        LeftSquare,
        RightSquare,
        LeftParen,
        RightParen,
        LeftCurly,
        RightCurly,
        End,
    };
    Type type = Type::End;
    // Hash: whether its name would start an identifier.
    bool idHash = false;
    char delim = 0;
    double number = 0;
    // The name of an identifier, function, at-keyword or hash, a string's
    // or URL's value, a dimension's unit; escapes resolved.
    QByteArray text;
    // Where the token is in the preprocessed sheet.
    qsizetype begin = 0;
    qsizetype end = 0;

    bool is(Type t) const { return type == t; }
    bool isDelim(char c) const { return type == Type::Delim && delim == c; }
    // Identifiers are ASCII case-insensitive in every place we read them.
    bool isIdent(QByteArrayView name) const
    {
        return type == Type::Ident && equalsIgnoringCase(text, name);
    }
};

class CssTokenizer {
public:
    // Spends a step of work for every token. Once the budget says stop,
    // the sheet ends where it is: a block of megabytes is not read to its
    // end first.
    CssTokenizer(QByteArrayView sheet, WorkBudget& work);

    CssToken next();
    // The preprocessed sheet the tokens' offsets point into.
    const QByteArray& text() const { return m_text; }
    // Where the next token starts, to read it again from there.
    qsizetype position() const { return m_pos; }
    void seek(qsizetype position) { m_pos = position; }

private:
    bool startsIdent(qsizetype at) const;
    bool startsNumber(qsizetype at) const;
    bool validEscape(qsizetype at) const;
    char at(qsizetype i) const { return i < m_text.size() ? m_text[i] : '\0'; }
    void escapeInto(QByteArray& out);
    QByteArray name();
    void numeric(CssToken& token);
    void identLike(CssToken& token);
    void url(CssToken& token);
    void string(CssToken& token, char quote);

    QByteArray m_text;
    qsizetype m_pos = 0;
    WorkBudget& m_work;
};

} // namespace parlowen
