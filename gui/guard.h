#pragma once
#include "gui/messages.h"
#include "data/db/dberror.h"
#include <exception>
#include <utility>

// Runs a handler; a failure it does not catch itself goes to the general
// error report and the window stays as it was.
template <class F>
void runGuarded(F &&f)
{
    try {
        std::forward<F>(f)();
    } catch (const MolarixError &e) {   // database and report failures
        Messages::error(e.message());
    } catch (const std::exception &e) {
        Messages::error(QString::fromUtf8(e.what()));
    }
}

// Wraps a handler for connect(): connect(b, &QPushButton::clicked, this, guarded([this]{ ... }));
template <class F>
auto guarded(F f)
{
    return [f = std::move(f)]() { runGuarded(f); };
}
