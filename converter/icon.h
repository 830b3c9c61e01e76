// The program icon, drawn in code so that it scales to every size the desktop asks for.
#pragma once

#include <QIcon>
#include <QImage>

// Drawn without a window system, so that the build can write it out for the desktop.
QImage tunepressIconImage(int size);

QIcon tunepressIcon();
