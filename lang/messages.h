#pragma once
// The bilingual message box and the yes/no question, shown without an owner
// window; the language was settled at start-up. Boxes go to Windows through
// the wide functions, so that every piece of a text shows as the characters
// it stands for, whatever the system's code page.
#include <functional>

#include "lang/message_rules.h"

namespace kavrel {

// Shows one box and returns the system's answer (0 when it did not appear).
// The progress window is hidden first. Where nobody sees the process's
// window station, a message goes to the signed-in user's session instead
// and a question is not asked (HandlingOfBox says which, and the answer).
int ShowMessageBox(const MessageBoxCall& call);

// Replaces the system's message box, for tests of the code that shows boxes;
// an empty handler restores the system's.
using MessageBoxHandler = std::function<int(const MessageBoxCall&)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

// Shows the Russian or the English text of the pair, as the setup state's
// useRussian selects,
// as an error box with the matching title (`flags`: the error box's, or
// another button set of it); returns the system's answer.
int ShowBilingualMessage(const ShownText& englishText, const ShownText& russianText,
                         std::uint32_t flags = kErrorBoxFlags);

}  // namespace kavrel
