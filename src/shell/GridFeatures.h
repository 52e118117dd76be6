#pragma once

class RequestJournal;
class TJournalForm;

// Which grids have the find line and by which columns a reload finds the chosen row again; the
// request journal of this run. Called once the windows exist, and before they go.
void SetUpGridFeatures();
void TearDownGridFeatures();

// The journal of this run (null outside SetUpGridFeatures … TearDownGridFeatures).
RequestJournal *requestJournal();
// The journal window, created on first use.
TJournalForm *journalForm();
