#pragma once
#include <QString>
#include <functional>

class QWidget;

// What each menu entry and button of the main window opens, by window class
// name ("TForm16"). An empty function: that window is not available, and its
// entries are disabled.
std::function<void()> WindowOpener(const QString &windowClass);
