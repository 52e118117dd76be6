#pragma once

// Creates every window once, in the program's order, and gives the waiting window its captions
// and fonts. The splash window must exist already (its creation loads the catalogue).
void CreateForms();
// Destroys what CreateForms made (tests; the program ends with its windows).
void DestroyForms();

// Loads Qt's own Russian texts (standard buttons, edit menus, file dialogs) from Qt's
// translations folder; false when they are not installed.
bool InstallQtTranslations();

// The program block: splash, settings and catalogue, the windows, the message loop.
int RunProgram();
