// The ids of the exe's resources (zanthrel.rc.in), for the resource
// compiler and the code alike: windres reads this header too, hence a macro.
#pragma once

#define ZANTHREL_ICON_ID 1
