#pragma once
// The X11 glue's one way in: Qt's own xcb connection, atoms and replies, and one native event
// filter that every adapter watching raw X events shares. Everything here is xcb, the library
// Qt's own X11 plugin speaks; nothing is done on a connection of our own.

#include <xcb/xcb.h>
#include <cstdlib>
#include <functional>
#include <memory>

class QObject;

// Qt's connection to the X server, or nullptr under another platform (Wayland, offscreen).
xcb_connection_t* x11Connection();

template <typename Reply>
using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

// XCB_ATOM_NONE when the server gives no answer.
xcb_atom_t x11Atom(xcb_connection_t* connection, const char* name);
XcbReply<xcb_get_property_reply_t> x11Property(xcb_connection_t* connection, xcb_window_t window,
                                               xcb_atom_t name, xcb_atom_t type, uint32_t length);

// Shows watch every X event Qt reads, on the UI thread before Qt handles it, for as long as owner
// lives; watch returns true to take the event from Qt. Does nothing under other platforms.
void watchX11Events(QObject& owner, std::function<bool(const xcb_generic_event_t&)> watch);
