// molarix loads Qt's print support with its first print. This program is
// linked as molarix is, with stand-ins for the library's functions, and shows
// a report's preview: it passes when the library was not there before the
// preview, and the preview asked for the report's pages and shows them.
#include "reports/reportoutput.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <dlfcn.h>

namespace {
bool printSupportLoaded()
{
    void *library = dlopen("libQt6PrintSupport.so.6", RTLD_NOLOAD | RTLD_LAZY);
    if (library)
        dlclose(library);
    return library != nullptr;
}
}   // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (printSupportLoaded()) {
        std::fprintf(stderr, "the print support was loaded with the program\n");
        return 1;
    }
    const ReportOutput::Pages pages(QStringLiteral("<h1>Έλεγχος</h1><p>Μία σελίδα.</p>"));
    qsizetype shown = 0;
    QElapsedTimer waited;
    waited.start();
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        QWidget *preview = QApplication::activeModalWidget();
        if (!preview)
            return;
        for (const QGraphicsView *view : preview->findChildren<QGraphicsView *>())
            if (view->scene())
                shown = std::max(shown, view->scene()->items().size());
        if (shown > 0 || waited.elapsed() > 120000)
            preview->close();
    });
    look.start(50);
    ReportOutput::preview(pages, QStringLiteral("Έλεγχος"), nullptr);
    if (!printSupportLoaded()) {
        std::fprintf(stderr, "the preview came up without the print support\n");
        return 1;
    }
    if (shown == 0) {
        std::fprintf(stderr, "the preview shows no pages\n");
        return 1;
    }
    return 0;
}
