#include "data/db/writegate.h"
#include "data/db/dberror.h"
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>
#include <atomic>

namespace {

struct Gate {
    QMutex mutex;
    QWaitCondition changed;
    QString file;   // canonical path; empty: nothing held
    WriteGate::State state = WriteGate::State::Open;
    QString reason;
    int waitLimitMs = 30000;
};

Gate &gate()
{
    static Gate g;
    return g;
}

// Most writes happen with nothing held: they pass without a lock.
std::atomic<bool> g_anyHeld{false};

QString canonical(const QString &file)
{
    const QString c = QFileInfo(file).canonicalFilePath();
    return c.isEmpty() ? QFileInfo(file).absoluteFilePath() : c;
}

void set(const QString &file, WriteGate::State state, const QString &reason)
{
    Gate &g = gate();
    QMutexLocker lock(&g.mutex);
    g.file = state == WriteGate::State::Open ? QString() : canonical(file);
    g.state = state;
    g.reason = reason;
    g_anyHeld = state != WriteGate::State::Open;
    g.changed.wakeAll();
}

}   // namespace

namespace WriteGate {

void hold(const QString &file) { set(file, State::Held, QString()); }

void open(const QString &file)
{
    // Opening another file than the one held changes nothing.
    if (state(file) != State::Open)
        set(file, State::Open, QString());
}

void refuse(const QString &file, const QString &reason) { set(file, State::Refused, reason); }

State state(const QString &file)
{
    if (!g_anyHeld)
        return State::Open;
    Gate &g = gate();
    QMutexLocker lock(&g.mutex);
    return g.file == canonical(file) ? g.state : State::Open;
}

void admit(const QString &file, void (*onWait)())
{
    if (!g_anyHeld)
        return;
    const QString path = canonical(file);
    Gate &g = gate();
    QMutexLocker lock(&g.mutex);
    if (g.file != path)
        return;
    QDeadlineTimer deadline(g.waitLimitMs);
    bool told = false;
    while (g.state == State::Held && g.file == path) {
        if (!told && onWait) {
            told = true;
            lock.unlock();
            onWait();
            lock.relock();
            continue;
        }
        if (!g.changed.wait(&g.mutex, deadline))
            throw DbError(QStringLiteral("Ο έλεγχος του αρχείου δεδομένων δεν έχει τελειώσει ακόμη· "
                                         "δεν γράφτηκε τίποτα. Δοκιμάστε ξανά σε λίγο."),
                          DbError::Cause::InUse);
    }
    if (g.state == State::Refused && g.file == path)
        throw DbError(g.reason, DbError::Cause::ReadOnly);
}

int waitLimitMs()
{
    Gate &g = gate();
    QMutexLocker lock(&g.mutex);
    return g.waitLimitMs;
}

void setWaitLimitMs(int ms)
{
    Gate &g = gate();
    QMutexLocker lock(&g.mutex);
    g.waitLimitMs = ms;
}

}
