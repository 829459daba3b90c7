#pragma once
#include "data/practice/roles.h"
#include <QString>
#include <functional>
#include <optional>

class QWidget;

// What each menu entry and button of the main window opens, by window class
// name ("TForm16"). An empty function: that window is not available, and its
// entries are disabled.
// A window the session's role may not use answers with the refusal.
std::function<void()> WindowOpener(const QString &windowClass);
// What the window is for, as the roles grant it; none for the windows
// every role uses (calendars, the password change, about).
std::optional<Roles::Duty> WindowDuty(const QString &windowClass);
