// The program's pictures, drawn in code so they stay sharp at any size:
// the program icon, the exit icon of the editors' exit buttons, the arrow
// icons of the EQ editor, the used/empty memory marks and the toolbar images.
#pragma once

#include <QIcon>

namespace icons {

QIcon ProgramIcon();
// For the exit buttons of the EQ editor and the memory manager.
QIcon ExitIcon();
// A solid triangle pointing left, right, up or down (Qt::ArrowType).
QIcon ArrowIcon(Qt::ArrowType direction);
// Memory list marks: a memory that holds a program, and an empty one.
QIcon MemoryUsedIcon();
QIcon MemoryEmptyIcon();

// Toolbar images.
QIcon FileNewIcon();
QIcon FileOpenIcon();
QIcon FileSaveIcon();
QIcon UploadIcon();
QIcon DownloadIcon();
QIcon AboutIcon();

}  // namespace icons
