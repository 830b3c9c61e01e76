// Why something failed, in words that go in the middle of one of our sentences ("cannot
// write x: no space left on device"): the system's own texts start with a capital.
#pragma once

#include <QString>

QString lowerFirst(QString text);

// The system's text for an errno value, so lowered.
QString reasonOf(int error);
