// The logo of the routing view. It comes from the outside resource file
// "kalvore.rcc" when there is one; the program runs without it.
#pragma once

#include <QPixmap>
#include <QStringList>

// The standard places of the outside resource file: beside the program,
// then the installed data folders.
QStringList OutsideResourcePaths();

// Loads the logo from the first of paths that holds one; null when none.
// The file is let go again once the picture is decoded.
QPixmap LoadLogo(const QStringList& paths);

// The program's logo, set once at start-up and shown by the routing view;
// null when none was found.
void SetProgramLogo(const QPixmap& logo);
QPixmap ProgramLogo();
