#pragma once

// tulvaa-cli speaks the user's language where it has a translation: Russian when the locale of
// messages is Russian (LC_ALL, else LC_MESSAGES, else LANG, as QLocale::system() reads them; a
// LANGUAGE list overrides them unless that locale is C), English otherwise. The server's texts,
// the message file's and the engine's are Russian either way; machine formats (JSON keys, TSV
// keys, metric names, plugin status words) never change.
bool localeIsRussian();

// Installs the program's own Russian texts (built into the program) and Qt's, when the locale
// asks for Russian. Call once, after the application object exists. False when the locale is
// Russian but the program's translation could not be loaded (it then speaks English).
bool installCliTranslations();
