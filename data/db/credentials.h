#pragma once
#include <QString>

struct sqlite3;
struct ConnectionInfo;

// What a connection whose connection string carries no password takes from
// whoever is signed in: the practice's connection string, the file's key,
// the server login's password. The practice's session installs itself;
// with nobody installed or signed in, nothing opens that way.
class Credentials {
public:
    virtual ~Credentials() = default;
    virtual QString connectionString() const = 0;
    // Keys a fresh handle of the practice file; false when no key is held.
    // A new (empty) file is given the practice file's salt with it.
    virtual bool keyFile(sqlite3 *db, bool newFile) const = 0;
    // The password of the server login `info` names, for one connection
    // attempt (the caller wipes it); empty when nobody is logged in there.
    virtual QString loginPassword(const ConnectionInfo &info) const = 0;
    // The login a connection to the server `info` names logs in as: a
    // user signed in by name stands in for the practice's login.
    virtual QString loginUser(const ConnectionInfo &info) const;

    static void install(const Credentials *credentials);
    static const Credentials *installed();
};
