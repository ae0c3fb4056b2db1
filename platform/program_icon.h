/* The program's own icon (the connected router): which embedded pictures
   stand for the program itself, large and small. The Windows resources, the
   windows' icon on every platform and the icons installed on Linux all take
   it from here, so changing the program's icon is this one edit.
   Plain preprocessor lines only: the resource compiler reads this file too,
   and the build reads the two numbers below. */
#pragma once

#define PROGRAM_ICON 11
#define PROGRAM_ICON_SMALL 16

/* The picture's file under the source folder, as a string literal. */
#define PROGRAM_ICON_TEXT(n) #n
#define PROGRAM_ICON_FILE(n) "resources/picture" PROGRAM_ICON_TEXT(n) ".ico"

/* The Windows resource ids of the two icons in the executable. */
#define PROGRAM_ICON_RESOURCE 1
#define PROGRAM_ICON_SMALL_RESOURCE 2
