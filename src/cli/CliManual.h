#pragma once

#include <QString>

// The general help followed by the help of every command, as `--help-all` prints it. The manual
// page is made from this text, so the two cannot tell different stories.
QString completeHelp();
