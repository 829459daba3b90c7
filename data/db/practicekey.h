#pragma once
#include <QByteArray>
#include <QString>

struct sqlite3;

// The practice password is the key of data.mdb. SQLCipher derives the page
// key from it with PBKDF2-HMAC-SHA1 over the file's own 16-byte salt; the
// program does the same derivation once per sign-in and the session hands
// every connection the raw key, so no window pays for the derivation again.
namespace PracticeKey {
inline constexpr int PageSize = 4096;
inline constexpr int Rounds = 256000;
inline constexpr int SaltSize = 16;
inline constexpr int KeySize = 32;

// The file's salt (its first 16 bytes); empty when the file is shorter.
QByteArray readSalt(const QString &file);
// A fresh random salt for a new file.
QByteArray randomSalt();
// PBKDF2-HMAC-SHA1 of the password's UTF-8 bytes; KeySize bytes.
QByteArray derive(const QString &password, const QByteArray &salt, int rounds = Rounds);

// True when the file can be an encrypted database at all: not empty, whole
// pages, and not a plain SQLite file. Anything else is "not a database",
// never "wrong password".
bool looksEncrypted(const QString &file);

// Keys a fresh handle, before its first read: the raw key (with the salt
// when the file is new), or a passphrase for SQLCipher to derive from, then
// the page size and rounds of the program's files. Returns SQLite's code.
int keyWithRaw(sqlite3 *db, const QByteArray &key, const QByteArray &salt = {});
// The same from KeySize bytes kept outside any shared container.
int keyWithRawBytes(sqlite3 *db, const unsigned char *key, const QByteArray &salt = {});
int keyWithPassword(sqlite3 *db, const QString &password);
// Attaches a new file as schema, keyed with the raw key and its salt, in
// the format of practice files.
int attachWithRaw(sqlite3 *db, const QString &file, const char *schema, const QByteArray &key,
                  const QByteArray &salt);
// Re-encrypts every page with a new raw key (inside the caller's transaction).
int rekeyWithRaw(sqlite3 *db, const QByteArray &key);
// The settings of practice files, for a handle already keyed.
int applyFormat(sqlite3 *db, const char *schema = "main");

// Overwrites the bytes before they are released (when nothing else shares them).
void wipe(QByteArray &bytes);
void wipe(QString &text);
}
