#pragma once
// Reading printed reports back in tests: PDF to text with pdftotext.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

namespace ReportTest {

// The text of a PDF, pages separated by form feeds; empty when pdftotext fails.
inline QString pdfText(const QString &pdfPath, bool layout = false)
{
    QProcess p;
    QStringList args;
    if (layout)
        args << QStringLiteral("-layout");
    args << QStringLiteral("-enc") << QStringLiteral("UTF-8") << pdfPath << QStringLiteral("-");
    p.start(QStringLiteral("pdftotext"), args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Pages in physical layout, so a table's rows read across its columns.
inline QStringList pdfPages(const QString &pdfPath)
{
    QStringList pages = pdfText(pdfPath, true).split(QChar(u'\f'));
    while (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// Words as pdftotext gives them, blanks collapsed, so checks do not depend
// on where a line broke.
inline QString squeezed(const QString &text)
{
    return text.simplified();
}

}   // namespace ReportTest
