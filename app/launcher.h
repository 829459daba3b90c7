#pragma once
#include <QString>
#include <QStringList>

// Hands requests to the system's program launcher: web pages, e-mail and the
// calculator. Never waits for them and ignores their failures.
namespace Launcher {
inline constexpr const char *PublisherPage = "https://www.ortelis.example/molarix";

void openUrl(const QString &url);   // a web address or "mailto:..."
void openPublisherPage();
void startCalculator();

// --- test seam ---
// While recording nothing is started; each request is kept as "url <address>"
// or "calculator".
void setRecording(bool on);
QStringList takeRequests();
}
