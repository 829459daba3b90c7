#include "gui/modal.h"
#include <QDialog>

namespace {
std::function<int(QDialog *)> &handler()
{
    static std::function<int(QDialog *)> h;
    return h;
}
}

int ShowModal(QDialog *window)
{
    if (handler())
        return handler()(window);
    return window->exec();
}

void SetModalHandler(std::function<int(QDialog *)> h)
{
    handler() = std::move(h);
}
