#include "tests/common/testmain.h"
#include "gui/messages.h"
#include <QApplication>
#include <QTest>
#include <cstdio>
#include <vector>

namespace {
struct Entry { const char *name; std::function<QObject *()> factory; };
std::vector<Entry> &entries()
{
    static std::vector<Entry> e;
    return e;
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
    QString only = argc > 1 && argv[1][0] != '-' ? QString::fromLocal8Bit(argv[1]) : QString();
    int failed = 0, ran = 0;
    for (const auto &e : entries()) {
        if (!only.isEmpty() && only != QLatin1String(e.name))
            continue;
        std::unique_ptr<QObject> obj(e.factory());
        QStringList args{QString::fromLocal8Bit(argv[0])};
        for (int i = only.isEmpty() ? 1 : 2; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        if (QTest::qExec(obj.get(), args) != 0)
            ++failed;
        ++ran;
    }
    std::printf("%d passed, %d failed\n", ran - failed, failed);
    return failed == 0 ? 0 : 1;
}
