#pragma once
// Plain messages: OK only, no icon, the application title as caption.

#include <QString>

struct Platform;

void showMessage(Platform& platform, const QString& text);
