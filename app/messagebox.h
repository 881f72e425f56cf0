#pragma once
// The modal message box the program reports with.

#include <QString>

class QWidget;

namespace parlowen {

// The title of the program's message boxes.
inline constexpr char16_t ApplicationTitle[] = u"Tobrisk";

enum class MessageIcon { Information, Warning, Critical };

// A modal box titled with the application title, one OK button; returns when
// the user has closed it. The detail, when there is one, is the box's second
// line: why it happened, and what to do.
void showMessage(QWidget* parent, const QString& text, MessageIcon icon, const QString& detail = {});

// Closes the program's boxes that are open over parent, as if OK were
// pressed: what they reported has been overtaken.
void closeMessages(QWidget* parent);

// Asks whether to close the window although its settings were not saved;
// true to close, false to keep it open.
bool askToCloseUnsaved(QWidget* parent, const QString& text, const QString& detail);

enum class ReplaceChoice { KeepWindowOpen, Replace, CloseWithoutSaving };

// Asks whether to replace a settings file that holds no settings with the
// fields, before anything of it is lost; keeping the window open is the
// answer Return and Escape give.
ReplaceChoice askToReplaceFile(QWidget* parent, const QString& text, const QString& detail);

} // namespace parlowen
