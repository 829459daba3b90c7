#include "data/practice/keyring.h"
#include "data/db/practicekey.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <stdexcept>
#include <unistd.h>

namespace {

constexpr int NonceSize = 12;
constexpr int TagSize = 16;
constexpr int SaltSize = 16;
const char *const kBase32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";

std::function<void(const char *)> &stepHook()
{
    static std::function<void(const char *)> hook;
    return hook;
}

QByteArray randomBytes(int n)
{
    QByteArray out(n, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(out.data()), n) != 1)
        throw std::runtime_error("δεν βρέθηκαν τυχαία bytes για νέο κλειδί");
    return out;
}

const unsigned char *bytes(const QByteArray &b) { return reinterpret_cast<const unsigned char *>(b.constData()); }
unsigned char *bytes(QByteArray &b) { return reinterpret_cast<unsigned char *>(b.data()); }

// What the seal is bound to: whose wrap it is.
QByteArray boundTo(const QString &name)
{
    return name.isEmpty() ? QByteArrayLiteral("molarix recovery") : QByteArrayLiteral("molarix user:") + name.toUtf8();
}

QByteArray keyFromSecret(const QString &secret, const QByteArray &salt, int rounds)
{
    QByteArray pass = secret.toUtf8();
    QByteArray kek(KeyRing::KeySize, '\0');
    const int ok = PKCS5_PBKDF2_HMAC(pass.constData(), int(pass.size()), bytes(salt), int(salt.size()), rounds,
                                     EVP_sha256(), KeyRing::KeySize, bytes(kek));
    PracticeKey::wipe(pass);
    if (ok != 1)
        throw std::runtime_error("η παραγωγή του κλειδιού απέτυχε");
    return kek;
}

// AES-256-GCM; decrypt returns false when the tag does not hold.
bool gcm(bool encrypt, const QByteArray &key, const QByteArray &nonce, const QByteArray &aad, const QByteArray &in,
         QByteArray &out, QByteArray &tag)
{
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    if (!ctx)
        return false;
    out = QByteArray(in.size(), '\0');
    int len = 0, fin = 0;
    bool ok = EVP_CipherInit_ex(ctx, EVP_aes_256_gcm(), nullptr, nullptr, nullptr, encrypt ? 1 : 0) == 1
        && EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_IVLEN, int(nonce.size()), nullptr) == 1
        && EVP_CipherInit_ex(ctx, nullptr, nullptr, bytes(key), bytes(nonce), encrypt ? 1 : 0) == 1
        && EVP_CipherUpdate(ctx, nullptr, &len, bytes(aad), int(aad.size())) == 1
        && EVP_CipherUpdate(ctx, bytes(out), &len, bytes(in), int(in.size())) == 1;
    if (ok && !encrypt)
        ok = tag.size() == TagSize && EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_TAG, TagSize, tag.data()) == 1;
    ok = ok && EVP_CipherFinal_ex(ctx, bytes(out) + len, &fin) == 1;
    if (ok && encrypt) {
        tag = QByteArray(TagSize, '\0');
        ok = EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, TagSize, tag.data()) == 1;
    }
    EVP_CIPHER_CTX_free(ctx);
    if (!ok)
        PracticeKey::wipe(out);
    return ok;
}

QByteArray hmac(const QByteArray &key, const QByteArray &data)
{
    QByteArray out(32, '\0');
    unsigned int len = 32;
    HMAC(EVP_sha256(), key.constData(), int(key.size()), bytes(data), std::size_t(data.size()), bytes(out), &len);
    return out;
}

QJsonObject wrapJson(const KeyRing::Wrap &w)
{
    return {{QStringLiteral("salt"), QString::fromLatin1(w.salt.toBase64())},
            {QStringLiteral("nonce"), QString::fromLatin1(w.nonce.toBase64())},
            {QStringLiteral("sealed"), QString::fromLatin1(w.sealed.toBase64())},
            {QStringLiteral("rounds"), w.rounds}};
}

std::optional<KeyRing::Wrap> wrapOf(const QJsonValue &v)
{
    if (!v.isObject())
        return std::nullopt;
    const QJsonObject o = v.toObject();
    KeyRing::Wrap w;
    w.salt = QByteArray::fromBase64(o.value(QStringLiteral("salt")).toString().toLatin1());
    w.nonce = QByteArray::fromBase64(o.value(QStringLiteral("nonce")).toString().toLatin1());
    w.sealed = QByteArray::fromBase64(o.value(QStringLiteral("sealed")).toString().toLatin1());
    w.rounds = o.value(QStringLiteral("rounds")).toInt();
    if (w.nonce.size() != NonceSize || w.sealed.size() != KeyRing::KeySize + TagSize || w.rounds < KeyRing::Rounds)
        return std::nullopt;
    return w;
}

QJsonObject body(const KeyRing::Ring &ring)
{
    QJsonArray members;
    for (const KeyRing::Member &m : ring.members)
        members.append(QJsonObject{{QStringLiteral("name"), m.name},
                                   {QStringLiteral("role"), m.role},
                                   {QStringLiteral("enabled"), m.enabled},
                                   {QStringLiteral("wrap"), wrapJson(m.wrap)}});
    QJsonObject o{{QStringLiteral("format"), 1},
                  {QStringLiteral("generation"), ring.generation},
                  {QStringLiteral("members"), members}};
    if (!ring.recovery.isEmpty())
        o.insert(QStringLiteral("recovery"), wrapJson(ring.recovery));
    return o;
}

QByteArray macOf(const QJsonObject &body, const QByteArray &fileKey)
{
    const QByteArray macKey = hmac(fileKey, QByteArrayLiteral("molarix keys.dat"));
    return hmac(macKey, QJsonDocument(body).toJson(QJsonDocument::Compact));
}

bool syncFolder(const QString &dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}   // namespace

namespace KeyRing {

QString fileIn(const QString &practiceDir) { return QDir(practiceDir).absoluteFilePath(QStringLiteral("keys.dat")); }
QString besideCopy(const QString &copyPath) { return copyPath + QStringLiteral(".keys"); }

Member *Ring::find(const QString &name)
{
    for (Member &m : members)
        if (m.name == name)
            return &m;
    return nullptr;
}

const Member *Ring::find(const QString &name) const { return const_cast<Ring *>(this)->find(name); }

QByteArray Ring::text(const QByteArray &fileKey) const
{
    QJsonObject o = body(*this);
    o.insert(QStringLiteral("mac"), QString::fromLatin1(macOf(body(*this), fileKey).toBase64()));
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

std::optional<Ring> Ring::parse(const QByteArray &text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(text);
    if (!doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    if (o.value(QStringLiteral("format")).toInt() != 1)
        return std::nullopt;
    Ring ring;
    ring.generation = o.value(QStringLiteral("generation")).toInteger();
    for (const QJsonValue &v : o.value(QStringLiteral("members")).toArray()) {
        const QJsonObject m = v.toObject();
        const auto wrap = wrapOf(m.value(QStringLiteral("wrap")));
        if (!wrap)
            return std::nullopt;
        ring.members.append({m.value(QStringLiteral("name")).toString(), m.value(QStringLiteral("role")).toString(),
                             m.value(QStringLiteral("enabled")).toBool(true), *wrap});
    }
    if (o.contains(QStringLiteral("recovery"))) {
        const auto wrap = wrapOf(o.value(QStringLiteral("recovery")));
        if (!wrap)
            return std::nullopt;
        ring.recovery = *wrap;
    }
    ring.m_mac = QByteArray::fromBase64(o.value(QStringLiteral("mac")).toString().toLatin1());
    return ring;
}

bool Ring::authentic(const QByteArray &fileKey) const
{
    const QByteArray want = macOf(body(*this), fileKey);
    return m_mac.size() == want.size() && CRYPTO_memcmp(m_mac.constData(), want.constData(), std::size_t(want.size())) == 0;
}

Wrap seal(const QByteArray &fileKey, const QString &secret, const QString &name)
{
    Wrap w;
    w.salt = randomBytes(SaltSize);
    w.nonce = randomBytes(NonceSize);
    QByteArray kek = keyFromSecret(secret, w.salt, w.rounds);
    QByteArray tag;
    const bool ok = gcm(true, kek, w.nonce, boundTo(name), fileKey, w.sealed, tag);
    PracticeKey::wipe(kek);
    if (!ok)
        throw std::runtime_error("το κλειδί του αρχείου δεν σφραγίζεται");
    w.sealed += tag;
    return w;
}

QByteArray unseal(const Wrap &wrap, const QString &secret, const QString &name)
{
    if (wrap.sealed.size() != KeySize + TagSize)
        return {};
    QByteArray kek = keyFromSecret(secret, wrap.salt, wrap.rounds);
    QByteArray tag = wrap.sealed.right(TagSize);
    QByteArray key;
    const bool ok = gcm(false, kek, wrap.nonce, boundTo(name), wrap.sealed.left(KeySize), key, tag);
    PracticeKey::wipe(kek);
    return ok ? key : QByteArray();
}

QByteArray randomKey() { return randomBytes(KeySize); }

QString newRecoveryCode()
{
    // 30 letters of 5 bits each: 150 random bits.
    const QByteArray random = randomBytes(30);
    QString code;
    for (int i = 0; i < random.size(); ++i) {
        if (i > 0 && i % 5 == 0)
            code += QLatin1Char('-');
        code += QLatin1Char(kBase32[static_cast<unsigned char>(random[i]) & 31]);
    }
    return code;
}

QString recoveryCodeOf(const QString &typed)
{
    QString code = typed.toUpper();
    code.remove(QLatin1Char('-'));
    code.remove(QLatin1Char(' '));
    static const QRegularExpression shape(QStringLiteral("^[A-Z2-7]{30}$"));
    return shape.match(code).hasMatch() ? code : QString();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAtomically(const QString &path, const QByteArray &data)
{
    const QString side = path + QStringLiteral(".new");
    {
        QFile f(side);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size() || !f.flush()
            || ::fsync(f.handle()) != 0) {
            f.close();
            QFile::remove(side);
            return false;
        }
    }
    step("written");
    if (::rename(QFile::encodeName(side).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(side);
        return false;
    }
    syncFolder(QFileInfo(path).absolutePath());
    step("renamed");
    return true;
}

void setStepHook(std::function<void(const char *)> hook) { stepHook() = std::move(hook); }

void step(const char *name)
{
    if (stepHook())
        stepHook()(name);
}

}   // namespace KeyRing
