#pragma once

#include <QIcon>
#include <cstdint>

// The application icon, drawn so that it exists on every desktop.
QIcon AppIcon();

// The toolbar icon of a command: the desktop theme's icon where the theme has one,
// else a small drawn picture, so that no button is ever empty.
QIcon ToolbarIcon(uint32_t commandId);

// The drawn picture alone (what a desktop without an icon theme shows).
QIcon DrawnToolbarIcon(uint32_t commandId);
