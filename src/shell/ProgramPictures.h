#pragma once

#include <QIcon>

// The program's own pictures: the tool-bar buttons (by their bitmap numbers) and the application
// icon. Tool-bar pictures come from the desktop's icon theme where it has them; the program draws
// them otherwise, at 16 by 16 and at twice that for high-density screens.
class ProgramPictures
{
public:
    // Bitmap numbers of the tool bar: 1 open, 3 copy, 4 delete, 15 small icons, 16 list,
    // 20 refresh, 22 up one level, 16627 details. A null icon for any other number.
    static QIcon toolPicture(int bitmap);
    // The same picture as the program draws it, whatever the theme has.
    static QIcon drawnToolPicture(int bitmap);
    static QIcon appIcon();
};
