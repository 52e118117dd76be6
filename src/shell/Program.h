#pragma once

// Creates every window once, in the program's order, and gives the waiting window its captions
// and fonts. The splash window must exist already (its creation loads the catalogue).
void CreateForms();
// Destroys what CreateForms made (tests; the program ends with its windows).
void DestroyForms();

// The program block: splash, settings and catalogue, the windows, the message loop.
int RunProgram();
