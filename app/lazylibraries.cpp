// The loaders that molarix's trampolines call on the first use of the file
// engine's libraries and the Jet reader (cmake/LazyLibraries.cmake). The
// first call may come from any thread, a backup's or the start-up check's;
// the trampolines hold their own lock around these.
#include "gui/messages.h"
#include <QApplication>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>

namespace {

// A library that is missing or of another version leaves nothing to carry
// on with: the user is told why, instead of a crash at the call.
[[noreturn]] void cannotContinue(const QString &library, const QString &reason)
{
    const QString text = QStringLiteral("Το πρόγραμμα δεν μπορεί να φορτώσει τη βιβλιοθήκη %1 (%2) και τερματίζεται· "
                                        "εγκαταστήστε το ξανά.")
                             .arg(library, reason);
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    // Only one box, on the thread that may show one; a second failure
    // meanwhile (another thread, or the box's own event loop) just ends.
    static std::atomic_flag reported;
    QCoreApplication *app = QApplication::instance();
    if (!reported.test_and_set() && app && QThread::currentThread() == app->thread())
        Messages::error(text);
    // Other threads may be inside the database: no static destructors.
    std::_Exit(EXIT_FAILURE);
}

}   // namespace

extern "C" void *molarix_load_library(const char *name)
{
    // Never unloaded: worker threads and destructors at exit may call it.
    if (void *library = dlopen(name, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE))
        return library;
    cannotContinue(QString::fromLocal8Bit(name), QString::fromLocal8Bit(dlerror()));
}

extern "C" void *molarix_find_function(void *library, const char *name)
{
    if (void *function = dlsym(library, name))
        return function;
    link_map *map = nullptr;
    const bool named = dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name;
    cannotContinue(named ? QString::fromLocal8Bit(map->l_name) : QStringLiteral("?"),
                   QStringLiteral("δεν έχει τη συνάρτηση %1").arg(QLatin1String(name)));
}
