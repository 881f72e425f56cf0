// Text from outside, quoted for a line of ours.
#include "check/excerpt.h"

#include <QStringList>

namespace parlowen {

QString quoted(const QString& text)
{
    QString shown = QStringLiteral("\"");
    for (QChar c : text) {
        if (c == u'\r')
            shown += QStringLiteral("\\r");
        else if (c == u'\n')
            shown += QStringLiteral("\\n");
        else if (c == u'\t')
            shown += QStringLiteral("\\t");
        else if (c.category() == QChar::Other_Control)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown + u'"';
}

QString answerExcerpt(const QString& text)
{
    constexpr qsizetype MaxLength = 160;
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        const QString simplified = line.simplified();
        if (simplified.isEmpty())
            continue;
        if (simplified.size() > MaxLength)
            return quoted(simplified.left(MaxLength)) + QStringLiteral("...");
        return quoted(simplified);
    }
    return QStringLiteral("an empty page");
}

} // namespace parlowen
