// The program's pictures, drawn at run time so the program needs no image files.
#pragma once

#include <QIcon>
#include <QPixmap>

enum class TNavIcon { Overview, Statistics, Settings, Styles, Rights, OpenItems };

// The program icon: a blue square with a white "Q".
QPixmap QuorventPixmap(int size);
QIcon QuorventIcon();

// The pictures of the navigation entries.
QIcon NavIcon(TNavIcon kind);
