#pragma once
// Hands what the program owns on the clipboard to the desktop's clipboard manager before the
// process ends, so that a copied chart can still be pasted after the program has gone. On X11
// this is the freedesktop clipboard-manager convention: the CLIPBOARD_MANAGER selection is
// converted to SAVE_TARGETS, and the manager copies every target from us while we wait. Wayland
// has no such request for ordinary clients; there the compositor keeps what it keeps.

#include <chrono>

inline constexpr std::chrono::milliseconds kClipboardHandoverLimit{1000};

// True when a manager took the clipboard. Returns at once when the program owns nothing on the
// clipboard or no manager runs; otherwise waits for the manager at most `limit`, running the
// event loop without user input meanwhile: the manager reads the data through Qt's events.
bool handClipboardToManager(std::chrono::milliseconds limit = kClipboardHandoverLimit);
