#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include "gui/messages.h"
#include <QApplication>
#include <QMetaMethod>
#include <QTest>
#include <cstdio>
#include <vector>

namespace {
struct Entry {
    const char *name;
    std::function<QObject *()> factory;
};
std::vector<Entry> &entries()
{
    static std::vector<Entry> e;
    return e;
}

// The test functions QtTest runs for a class, in declaration order.
QStringList testFunctions(const QMetaObject *mo)
{
    static const QList<QByteArray> fixtures{"initTestCase", "cleanupTestCase", "init", "cleanup"};
    QStringList names;
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        if (m.methodType() != QMetaMethod::Slot || m.access() != QMetaMethod::Private
            || m.parameterCount() != 0 || m.returnType() != QMetaType::Void)
            continue;
        const QByteArray name = m.name();
        if (!fixtures.contains(name) && !name.endsWith("_data"))
            names << QString::fromLatin1(name);
    }
    return names;
}

// Runs one class. A test function that stops with TestAbort has already
// recorded its failure; the class goes on with the functions after it on a
// fresh instance, so one missing widget hides no other test.
bool runClass(const Entry &e, const QStringList &baseArgs, bool functionsChosen)
{
    bool ok = true;
    QStringList functions;   // empty: all of them
    // MOLARIX_TEST_FUNCTIONS (names, comma-separated) runs only those of
    // each class that has them, and no class that has none: the mutants
    // run the functions that catch them and not the whole class.
    const QStringList wanted = qEnvironmentVariable("MOLARIX_TEST_FUNCTIONS").split(u',', Qt::SkipEmptyParts);
    if (!functionsChosen && !wanted.isEmpty()) {
        const std::unique_ptr<QObject> probe(e.factory());
        for (const QString &f : testFunctions(probe->metaObject()))
            if (wanted.contains(f))
                functions << f;
        if (functions.isEmpty())
            return true;
        functionsChosen = true;
    }
    for (;;) {
        std::unique_ptr<QObject> obj(e.factory());
        try {
            if (QTest::qExec(obj.get(), baseArgs + functions) != 0)
                ok = false;
            return ok;
        } catch (const TestAbort &abort) {
            ok = false;
            if (functionsChosen)
                return false;
            const QStringList all = testFunctions(obj->metaObject());
            const qsizetype at = all.indexOf(QString::fromLatin1(abort.function));
            if (at < 0 || at + 1 >= all.size())
                return false;
            functions = all.mid(at + 1);
        } catch (const std::exception &ex) {
            std::fprintf(stderr, "%s: uncaught exception: %s\n", e.name, ex.what());
            return false;
        } catch (...) {
            std::fprintf(stderr, "%s: uncaught exception\n", e.name);
            return false;
        }
    }
}
}

bool TestRegistry::add(const char *name, std::function<QObject *()> factory)
{
    entries().push_back({name, std::move(factory)});
    return true;
}

// Usage: test_x [ClassName [QtTest arguments...]]
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Messages::setScripted(true);
    const QString only = argc > 1 && argv[1][0] != '-' ? QString::fromLocal8Bit(argv[1]) : QString();
    QStringList args{QString::fromLocal8Bit(argv[0])};
    bool functionsChosen = false;
    for (int i = only.isEmpty() ? 1 : 2; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
        functionsChosen = functionsChosen || argv[i][0] != '-';
    }
    int failed = 0, ran = 0;
    for (const auto &e : entries()) {
        if (!only.isEmpty() && only != QLatin1String(e.name))
            continue;
        if (!runClass(e, args, functionsChosen))
            ++failed;
        ++ran;
    }
    if (ran == 0) {
        std::fprintf(stderr, "no test class named %s\n", qPrintable(only));
        return 1;
    }
    std::printf("%d passed, %d failed\n", ran - failed, failed);
    return failed == 0 ? 0 : 1;
}
