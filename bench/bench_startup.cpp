// Start-up: from the start of the process until the access check is on
// screen, against a program that shows one empty QDialog (startup_baseline),
// watched the same way (the window's first exposure ends each program). The
// splash stays a moment, as it does for a user, and its time on screen is
// left out: the program writes when the splash's first picture is on screen
// and when it is hidden, and that span's wall time is taken off. Its CPU
// time stays counted, all of it: what the program does while the splash is
// up (the access check made ready, the fonts read) is work all the same.
// Both programs run in turn, interleaved, so the machine's load falls on
// both; the minimum of the rounds is kept, CPU (user+system of the child)
// and wall. The benchmark holds a connection to the display all along, as a
// desktop's own programs do: an X server left without clients between two
// runs resets itself, and the next program's connection waits for the reset
// (30-50 ms on Xvfb, a wait no user's desktop has).
//
//   build/bench/bench_startup [--tiny] [rounds, default 15]
//
// On the display of the environment (DISPLAY or WAYLAND_DISPLAY), or the
// offscreen platform when there is none.

#include "data/practice/schema.h"
#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

namespace {

struct Cost {
    double cpu = 0;    // seconds, user + system of the child
    double wall = 0;   // seconds
};

double seconds(const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

double monotonic()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The splash's stay: long enough that it is surely painted before it goes.
constexpr const char *SplashMs = "250";

// The span between "<name> on <wall> <cpu>" and "<name> off <wall> <cpu>" in
// the program's output, or nothing when either is missing or out of order.
std::optional<Cost> spanOnScreen(const QByteArray &output, const QByteArray &name)
{
    std::optional<Cost> on;
    std::optional<Cost> off;
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() != 4 || words[0] != name)
            continue;
        const Cost at{words[3].toDouble(), words[2].toDouble()};
        if (words[1] == "on")
            on = at;
        else if (words[1] == "off")
            off = at;
    }
    if (!on || !off || off->wall < on->wall || off->cpu < on->cpu)
        return std::nullopt;
    return Cost{off->cpu - on->cpu, off->wall - on->wall};
}

// Runs program in dir with MOLARIX_EXIT_WHEN_SHOWN=window; the cost up to
// the window's exposure, less the time on screen of the window named span,
// or nothing when the program did not get there within two minutes (or did
// not show span).
std::optional<Cost> runUntilShown(const QByteArray &program, const QByteArray &dir, const QByteArray &window,
                                  const QByteArray &span, const QByteArray &outFile)
{
    std::vector<QByteArray> env;
    for (char **e = environ; *e; ++e) {
        const QByteArray var(*e);
        if (!var.startsWith("MOLARIX_EXIT_WHEN_SHOWN=") && !var.startsWith("MOLARIX_SPLASH_MS=")
            && !var.startsWith("MOLARIX_SPAN_SHOWN="))
            env.push_back(var);
    }
    env.push_back("MOLARIX_EXIT_WHEN_SHOWN=" + window);
    env.push_back(QByteArray("MOLARIX_SPLASH_MS=") + SplashMs);
    if (!span.isEmpty())
        env.push_back("MOLARIX_SPAN_SHOWN=" + span);
    std::vector<char *> envp;
    for (QByteArray &v : env)
        envp.push_back(v.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, dir.constData());
    char *argv[] = {const_cast<char *>(program.constData()), nullptr};

    const double start = monotonic();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.constData(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return std::nullopt;

    // A program that never shows the window is ended after two minutes.
    std::mutex m;
    std::condition_variable cv;
    bool ended = false;
    std::thread watchdog([&] {
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, std::chrono::minutes(2), [&] { return ended; }))
            kill(pid, SIGKILL);
    });
    int status = 0;
    rusage usage{};
    const pid_t waited = wait4(pid, &status, 0, &usage);
    const double wall = monotonic() - start;
    {
        std::lock_guard lock(m);
        ended = true;
    }
    cv.notify_one();
    watchdog.join();

    QFile out(QString::fromLocal8Bit(outFile));
    const QByteArray output = out.open(QIODevice::ReadOnly) ? out.readAll() : QByteArray();
    if (waited != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !output.contains(window + " shown"))
        return std::nullopt;
    Cost cost{seconds(usage.ru_utime) + seconds(usage.ru_stime), wall};
    if (!span.isEmpty()) {
        const auto left = spanOnScreen(output, span);
        if (!left)
            return std::nullopt;
        cost.wall -= left->wall;
    }
    return cost;
}

}   // namespace

int main(int argc, char **argv)
{
    // Without a display both programs, and this one, draw offscreen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication app(argc, argv);   // connected to the display until the end
    QStringList args = app.arguments().mid(1);
    const bool tiny = !args.isEmpty() && args.first() == QLatin1String("--tiny");
    if (tiny)
        args.removeFirst();
    const int rounds = tiny ? 1 : (args.isEmpty() ? 15 : std::max(1, args.first().toInt()));

    const QByteArray molarix = QByteArrayLiteral(MOLARIX_BINARY_DIR "/molarix");
    const QByteArray baseline = QByteArrayLiteral(MOLARIX_BINARY_DIR "/bench/startup_baseline");

    // A practice as a user has it, opened in its folder.
    QTemporaryDir practice;
    QTemporaryDir scratch;
    Schema::createDatabase(practice.path(), QString::fromLatin1(Schema::FirstPassword));
    const QByteArray dir = QFile::encodeName(practice.path());
    const QByteArray out = QFile::encodeName(scratch.filePath(QStringLiteral("out.txt")));

    Cost best[2] = {{1e9, 1e9}, {1e9, 1e9}};   // 0: the empty dialog, 1: the access check
    for (int r = 0; r < rounds; ++r) {
        // Each round the other goes first.
        for (int k = 0; k < 2; ++k) {
            const int which = (r + k) % 2;
            const auto cost = which == 0 ? runUntilShown(baseline, dir, "EmptyDialog", {}, out)
                                         : runUntilShown(molarix, dir, "TForm65", "TForm4", out);
            if (!cost) {
                std::fprintf(stderr, "%s did not show its window\n", which == 0 ? "startup_baseline" : "molarix");
                return 1;
            }
            best[which].cpu = std::min(best[which].cpu, cost->cpu);
            best[which].wall = std::min(best[which].wall, cost->wall);
        }
    }

    std::printf("start-up to the first window (the splash's time on screen left out), min of %d rounds\n", rounds);
    std::printf("  empty QDialog     cpu %7.1f ms   wall %7.1f ms\n", best[0].cpu * 1e3, best[0].wall * 1e3);
    std::printf("  access check      cpu %7.1f ms   wall %7.1f ms\n", best[1].cpu * 1e3, best[1].wall * 1e3);
    std::printf("  ratio             cpu %7.2fx     wall %7.2fx\n", best[1].cpu / best[0].cpu, best[1].wall / best[0].wall);
    return 0;
}
