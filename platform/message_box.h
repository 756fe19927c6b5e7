// Message boxes. The filter's few user-facing failures and its one question
// go through here; what a user sees depends on the installed handler:
//  - default: the text goes to standard error; a Yes/No question is asked on
//    the terminal when standard input is one, otherwise answered No; an OK
//    box answers OK;
//  - on Windows the default is the system's message box, owned by no window;
//  - tests install a recording handler; a graphical host would show a window.
// Thread-safety: installing and fetching the handler is locked, but a call
// already under way keeps using the handler it started with, so install
// handlers only while no callback runs.
#pragma once

#include <functional>
#include <string>

namespace platform {

enum class MessageBoxButtons { kOk, kYesNo };
enum class MessageBoxAnswer { kOk, kYes, kNo };

using MessageBoxHandler = std::function<MessageBoxAnswer(
    const std::string& text, const std::string& caption, MessageBoxButtons buttons)>;

MessageBoxAnswer messageBox(const std::string& text, const std::string& caption,
                            MessageBoxButtons buttons);

// Installs `handler` (an empty one restores the default); returns the one
// that was installed before (empty while the default was in effect), so a
// scope can put it back.
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);

// The default behaviour, callable by handlers that only want to observe.
MessageBoxAnswer defaultMessageBox(const std::string& text, const std::string& caption,
                                   MessageBoxButtons buttons);

}  // namespace platform
