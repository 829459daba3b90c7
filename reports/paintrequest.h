#pragma once
#include <QObject>
#include <functional>

class QPrinter;

namespace ReportOutput {

// The preview's request for its pages, connected by the signal's name:
// molarix loads the print support on its first call, and until then the
// signal's address in the program is a stand-in the preview does not know.
class PaintRequest : public QObject {
    Q_OBJECT
public:
    explicit PaintRequest(std::function<void(QPrinter *)> paint)
        : m_paint(std::move(paint))
    {
    }

public slots:
    void paint(QPrinter *printer) { m_paint(printer); }

private:
    std::function<void(QPrinter *)> m_paint;
};

}   // namespace ReportOutput
