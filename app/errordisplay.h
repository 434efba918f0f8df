// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <concepts>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace kavren::app {

// The text the general error display shows for `message`: one "." is added
// when the last byte is above "." (0x2F and up: letters, digits, "/", ":"),
// so "Cannot allocate socket." and "IP address Error !!" stay as they are.
std::string errorDisplayText(std::string_view message);

// The general error display: a modal box owned by the application with the
// error icon, the application title as caption and a single OK button. The
// message is shown as plain text: it can carry bytes a device sent.
void showErrorDisplay(std::string_view message);

// Shows an error that escaped a handler. Anything that is not a std::exception
// carries no message and shows an empty box.
void showCurrentException();

// Wraps a handler so that nothing it throws reaches the toolkit: the error is
// shown and event handling goes on with the next event. Every connection of
// the window goes through this, including the queued reply delivery, so errors
// inside a modal dialog's loop are shown too.
template <class Handler>
auto guarded(Handler handler) {
    // Constrained, so that Qt can tell how many of a signal's arguments the
    // handler takes.
    return [handler = std::move(handler)](
        auto&&... args) requires std::invocable<const Handler&, decltype(args)...> {
        try {
            handler(std::forward<decltype(args)>(args)...);
        } catch (...) {
            showCurrentException();
        }
    };
}

}  // namespace kavren::app
