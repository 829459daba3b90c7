#include "data/db/practicekey.h"
#include <QFile>
#include <QFileInfo>
#include <array>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sqlite3.h>
#include <stdexcept>

namespace {

using KeyText = std::array<char, 3 + 2 * (PracticeKey::KeySize + PracticeKey::SaltSize)>;

// SQLCipher's raw key text: x'<key hex>' or, for a new file, x'<key hex><salt hex>'.
std::size_t rawText(KeyText &text, const unsigned char *key, const QByteArray &salt)
{
    static const char hex[] = "0123456789ABCDEF";
    std::size_t n = 0;
    text[n++] = 'x';
    text[n++] = '\'';
    auto put = [&](unsigned char b) {
        text[n++] = hex[b >> 4];
        text[n++] = hex[b & 15];
    };
    for (int i = 0; i < PracticeKey::KeySize; ++i)
        put(key[i]);
    if (salt.size() == PracticeKey::SaltSize)
        for (char c : salt)
            put(static_cast<unsigned char>(c));
    text[n++] = '\'';
    return n;
}

int keyRawBytes(sqlite3 *db, const unsigned char *key, const QByteArray &salt, bool rekey = false)
{
    KeyText text{};
    const std::size_t n = rawText(text, key, salt);
    const int rc = rekey ? sqlite3_rekey(db, text.data(), int(n)) : sqlite3_key(db, text.data(), int(n));
    OPENSSL_cleanse(text.data(), text.size());
    return rc;
}

}   // namespace

namespace PracticeKey {

QByteArray readSalt(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray salt = f.read(SaltSize);
    return salt.size() == SaltSize ? salt : QByteArray();
}

QByteArray randomSalt()
{
    QByteArray salt(SaltSize, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(salt.data()), SaltSize) != 1)
        throw std::runtime_error("δεν βρέθηκαν τυχαία bytes για νέο κλειδί");
    return salt;
}

QByteArray derive(const QString &password, const QByteArray &salt, int rounds)
{
    QByteArray pass = password.toUtf8();
    QByteArray key(KeySize, '\0');
    const int ok = PKCS5_PBKDF2_HMAC_SHA1(pass.constData(), int(pass.size()),
                                          reinterpret_cast<const unsigned char *>(salt.constData()),
                                          int(salt.size()), rounds, KeySize,
                                          reinterpret_cast<unsigned char *>(key.data()));
    wipe(pass);
    if (ok != 1)
        throw std::runtime_error("η παραγωγή του κλειδιού απέτυχε");
    return key;
}

bool looksEncrypted(const QString &file)
{
    const QFileInfo fi(file);
    // Every page size SQLCipher writes is a multiple of 512 bytes.
    if (!fi.isFile() || fi.size() == 0 || fi.size() % 512 != 0)
        return false;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(1024);
    if (head.size() < 1024 || head.startsWith(QByteArrayLiteral("SQLite format 3")))
        return false;
    // Encrypted pages look random: 1024 random bytes show about 250 of the
    // 256 byte values, text or zeros far fewer.
    std::array<bool, 256> seen{};
    int distinct = 0;
    for (char c : head) {
        auto &s = seen[static_cast<unsigned char>(c)];
        distinct += !s;
        s = true;
    }
    return distinct >= 160;
}

int applyFormat(sqlite3 *db, const char *schema)
{
    char *sql = sqlite3_mprintf("PRAGMA \"%w\".cipher_page_size=%d; PRAGMA \"%w\".kdf_iter=%d;", schema, PageSize,
                                schema, Rounds);
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_free(sql);
    return rc;
}

int keyWithRaw(sqlite3 *db, const QByteArray &key, const QByteArray &salt)
{
    if (key.size() != KeySize)
        return SQLITE_MISUSE;
    return keyWithRawBytes(db, reinterpret_cast<const unsigned char *>(key.constData()), salt);
}

int keyWithRawBytes(sqlite3 *db, const unsigned char *key, const QByteArray &salt)
{
    const int rc = keyRawBytes(db, key, salt);
    return rc != SQLITE_OK ? rc : applyFormat(db);
}

int attachWithRaw(sqlite3 *db, const QString &file, const char *schema, const QByteArray &key,
                  const QByteArray &salt)
{
    if (key.size() != KeySize || salt.size() != SaltSize)
        return SQLITE_MISUSE;
    KeyText text{};
    const std::size_t n = rawText(text, reinterpret_cast<const unsigned char *>(key.constData()), salt);
    char *sql = sqlite3_mprintf("ATTACH DATABASE ?1 AS \"%w\" KEY ?2", schema);
    sqlite3_stmt *st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    sqlite3_free(sql);
    const QByteArray name = file.toUtf8();
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(st, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_blob(st, 2, text.data(), int(n), SQLITE_STATIC);
        rc = sqlite3_step(st);
        rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    sqlite3_finalize(st);
    OPENSSL_cleanse(text.data(), text.size());
    return rc != SQLITE_OK ? rc : applyFormat(db, schema);
}

int rekeyWithRaw(sqlite3 *db, const QByteArray &key)
{
    if (key.size() != KeySize)
        return SQLITE_MISUSE;
    return keyRawBytes(db, reinterpret_cast<const unsigned char *>(key.constData()), {}, true);
}

int keyWithPassword(sqlite3 *db, const QString &password)
{
    QByteArray pass = password.toUtf8();
    const int rc = sqlite3_key(db, pass.constData(), int(pass.size()));
    wipe(pass);
    return rc != SQLITE_OK ? rc : applyFormat(db);
}

void wipe(QByteArray &bytes)
{
    if (!bytes.isEmpty() && bytes.isDetached())
        OPENSSL_cleanse(bytes.data(), std::size_t(bytes.size()));
    bytes.clear();
}

void wipe(QString &text)
{
    if (!text.isEmpty() && text.isDetached())
        OPENSSL_cleanse(text.data(), std::size_t(text.size()) * sizeof(QChar));
    text.clear();
}

}   // namespace PracticeKey
