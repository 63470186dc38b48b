// The language the user chose in the suite's options becomes the text table's
// current language. Every export does this before its work, and every icon menu
// before it is built, so a change of the option shows at the next call.
#pragma once

// Reads option 2 (the language code) and selects it in the text table; the result
// is not looked at: an unknown code keeps the current language.
void SelectConfiguredLanguage();
