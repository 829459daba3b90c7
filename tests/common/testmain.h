#pragma once
#include <QObject>
#include <functional>

// Each test file registers its QtTest classes; one main runs them all.
namespace TestRegistry {
bool add(const char *name, std::function<QObject *()> factory);
}
#define MOLARIX_TEST(Class) \
    static const bool molarix_registered_##Class = TestRegistry::add(#Class, [] { return new Class; });
