// Signing in as a named user (the user's wrap of the file key unsealed,
// then the file opened and its two copies of the wraps compared) against
// the access check of a practice of one password (the key derived from the
// password, the file opened and the stored password read). For figures to
// compare, take the minimum of interleaved rounds:
//
//   build/bench/bench_signin --benchmark_repetitions=7 --benchmark_enable_random_interleaving=true
#include "bench/benchtiny.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/practice/appstate.h"
#include "data/practice/schema.h"
#include "data/practice/security.h"
#include "data/practice/session.h"
#include "data/practice/users.h"
#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

const QString Password = QStringLiteral("Odontiatros1");
const QString Name = QStringLiteral("Γιώργος");

struct Practices {
    QTemporaryDir onePassword, users;
    Practices()
    {
        for (QTemporaryDir *d : {&onePassword, &users})
            Schema::createDatabase(d->path(), Password);
        DbConnection conn;
        conn.setConnectionString(BuildConnectionString(users.path()));
        if (Users::signIn(users.path(), {}, Password).access != Users::Access::OnePassword) {
            std::fprintf(stderr, "the practice does not open\n");
            std::exit(1);
        }
        conn.open();
        Users::migrate(conn, Name, Password);
        conn.close();
        Session::current().signOut();
    }
};

Practices &practices()
{
    static Practices p;
    return p;
}

void signIn(benchmark::State &state, const QString &dir, const QString &name)
{
    DbConnection conn;
    conn.setConnectionString(BuildConnectionString(dir));
    DataSet security(&conn);
    for (auto _ : state) {
        if (Security::signIn(conn, security, Password, name).access != PracticeFile::Access::Granted) {
            state.SkipWithError("refused");
            return;
        }
        Session::current().signOut();
    }
}

void BM_AccessCheckOnePassword(benchmark::State &state) { signIn(state, practices().onePassword.path(), {}); }
void BM_SignInNamedUser(benchmark::State &state) { signIn(state, practices().users.path(), Name); }

BENCHMARK(BM_AccessCheckOnePassword)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_SignInNamedUser)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Bench::initialize(&argc, argv);
    return Bench::run();
}
