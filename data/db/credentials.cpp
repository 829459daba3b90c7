#include "data/db/credentials.h"
#include "data/db/connectioninfo.h"
#include <atomic>

namespace {
std::atomic<const Credentials *> g_installed{nullptr};
}

void Credentials::install(const Credentials *credentials) { g_installed.store(credentials); }

const Credentials *Credentials::installed() { return g_installed.load(); }

QString Credentials::loginUser(const ConnectionInfo &info) const { return info.user; }
