// The program icon, drawn in code so that it scales to every size the desktop asks for.
#pragma once

#include <QIcon>

QIcon tunepressIcon();
