#include "data/db/libpq.h"
#include "data/db/dberror.h"
#include <QString>
#include <dlfcn.h>
#include <mutex>

namespace {

constexpr const char *kLibrary = "libpq.so.5";

struct Loaded {
    LibPq functions;
    QString failure;
    bool ok = false;
};

Loaded &loaded()
{
    static Loaded state;
    return state;
}

std::once_flag &loadOnce()
{
    static std::once_flag once;
    return once;
}

void load(Loaded &state)
{
    // Never closed: its connections live until the process ends.
    void *handle = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        state.failure = QString::fromLocal8Bit(dlerror());
        return;
    }
#define MOLARIX_LIBPQ_RESOLVE(f)                                             \
    state.functions.f = reinterpret_cast<decltype(&::f)>(dlsym(handle, #f)); \
    if (!state.functions.f) {                                                \
        state.failure = QString::fromLatin1(#f);                             \
        return;                                                              \
    }
    MOLARIX_LIBPQ_FUNCTIONS(MOLARIX_LIBPQ_RESOLVE)
#undef MOLARIX_LIBPQ_RESOLVE
    state.ok = true;
}

}   // namespace

const LibPq &libpq()
{
    Loaded &state = loaded();
    std::call_once(loadOnce(), [&] { load(state); });
    if (!state.ok)
        throw DbError(QStringLiteral("Η βιβλιοθήκη σύνδεσης με τον διακομιστή PostgreSQL (%1) δεν φορτώνεται: %2")
                          .arg(QLatin1String(kLibrary), state.failure));
    return state.functions;
}
