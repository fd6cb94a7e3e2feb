#pragma once

#include <QIcon>

// The application's icon: a small pie, drawn by the program itself at the usual icon sizes.
QIcon applicationIcon();
QImage applicationIconImage(int size);
