#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// The practice file is encrypted with a random key. Each user's password,
// and a recovery code printed once, unwraps it: PBKDF2-HMAC-SHA256 of the
// secret over a salt of its own gives a key that opens the file key sealed
// with AES-256-GCM, the user's name bound to the seal. The ring of wraps
// sits in keys.dat beside data.mdb, readable before the file opens, with a
// copy inside the file; a MAC under the file key guards the list of users,
// and a generation number says which of the two copies is newer.
namespace KeyRing {
inline constexpr int Rounds = 256000;
inline constexpr int KeySize = 32;

// dir/keys.dat; a backup's ring sits beside it as <copy>.keys.
QString fileIn(const QString &practiceDir);
QString besideCopy(const QString &copyPath);

struct Wrap {
    QByteArray salt, nonce, sealed;   // sealed: the file key encrypted, then the GCM tag
    int rounds = Rounds;
    bool isEmpty() const { return sealed.isEmpty(); }
};

struct Member {
    QString name;
    QString role;   // administrator, clinician, reception
    bool enabled = true;
    Wrap wrap;
};

struct Ring {
    qint64 generation = 0;
    QList<Member> members;
    Wrap recovery;

    Member *find(const QString &name);
    const Member *find(const QString &name) const;
    // The text written to keys.dat and its copy, with the MAC under the file key.
    QByteArray text(const QByteArray &fileKey) const;
    // The ring a text holds; nullopt when the text is no ring. Whether the
    // MAC holds is said by authentic, once the file key is known.
    static std::optional<Ring> parse(const QByteArray &text);
    bool authentic(const QByteArray &fileKey) const;

private:
    QByteArray m_mac;
};

// The file key sealed under a secret (a password, a recovery code), bound
// to the member's name (empty: the recovery wrap).
Wrap seal(const QByteArray &fileKey, const QString &secret, const QString &name);
// The file key, or empty when the secret (or the name) is not the one sealed.
QByteArray unseal(const Wrap &wrap, const QString &secret, const QString &name);

QByteArray randomKey();
// Six groups of five base32 letters and digits, joined by '-'.
QString newRecoveryCode();
// The code as sealed (capitals, no dashes or blanks) when the text has the
// shape of one; empty otherwise.
QString recoveryCodeOf(const QString &typed);

// The bytes of a file, empty when it is missing or unreadable.
QByteArray readFile(const QString &path);
// Replaces the file in one step: a side file written and synced, renamed
// over it, and the folder synced. False (the old file as it was) on failure.
bool writeAtomically(const QString &path, const QByteArray &bytes);

// Called at each step of a change of users ("written", "renamed", "copied"),
// so that a test can stop the change there by throwing. Empty: none.
void setStepHook(std::function<void(const char *step)> hook);
void step(const char *name);
}
