#pragma once
#include <functional>

class QDialog;

// Shows a window modally (exec). Tests replace how, to drive the windows of
// the start-up sequence without blocking: the handler gets the window and
// returns its result.
int ShowModal(QDialog *window);
void SetModalHandler(std::function<int(QDialog *)> handler);   // empty: exec() again
