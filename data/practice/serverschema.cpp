#include "data/db/connection.h"
#include "data/db/serverddl.h"
#include "data/practice/schema.h"
#include "data/practice/schemaversion.h"
#include "data/practice/serverroles.h"
#include <QRegularExpression>

// The practice's tables on a PostgreSQL server, made from the same table
// texts as the file, and the functions the statements call there.

namespace {

// Dates stay ISO text as in the file, so that comparisons, sorting and the
// data sets read them alike; Yes/No stays -1/0; texts order by the Greek
// dictionary (ICU el-GR).
const char *const kServerTypes[] = {
    "CREATE COLLATION greek (provider = icu, locale = 'el-GR')",
    "CREATE DOMAIN jetdate AS text COLLATE ucs_basic",
    "CREATE DOMAIN yesno AS integer",
    "CREATE DOMAIN memo AS text COLLATE greek",
};

// Case- and accent-blind form used by LIKE: lower case (every script),
// accents taken off the letters, final sigma as sigma. Immutable, so that
// an index on the folded surname serves prefix searches.
const char *const kServerFunctions[] = {
    R"(CREATE FUNCTION molarix_fold(text) RETURNS text IMMUTABLE STRICT PARALLEL SAFE LANGUAGE sql AS $$
SELECT translate(regexp_replace(normalize(lower($1 COLLATE "und-x-icu"), NFD), '[' || chr(768) || '-' || chr(879) || ']', '', 'g'), 'ς', 'σ') COLLATE ucs_basic
$$)",
    R"(CREATE FUNCTION molarix_fold(anynonarray) RETURNS text IMMUTABLE STRICT PARALLEL SAFE LANGUAGE sql AS $$
SELECT molarix_fold($1::text)
$$)",
    // Year, month, day of a valid ISO date text, else NULL. The stored
    // form (two-digit month and day) is read by position in an expression
    // the server inlines; other spellings take the slower general reading.
    R"(CREATE FUNCTION jet_dateok(y integer, m integer, d integer) RETURNS boolean IMMUTABLE PARALLEL SAFE LANGUAGE sql AS $$
SELECT y >= 1 AND m BETWEEN 1 AND 12 AND d >= 1 AND d <= CASE WHEN m = 2 THEN CASE WHEN (y % 4 = 0 AND y % 100 <> 0) OR y % 400 = 0 THEN 29 ELSE 28 END
  WHEN m IN (4, 6, 9, 11) THEN 30 ELSE 31 END
$$)",
    R"(CREATE FUNCTION jet_dateparts(text) RETURNS integer[] IMMUTABLE STRICT PARALLEL SAFE LANGUAGE sql AS $$
SELECT CASE WHEN p IS NOT NULL AND jet_dateok(p[1]::integer, p[2]::integer, p[3]::integer)
  THEN ARRAY[p[1]::integer, p[2]::integer, p[3]::integer] END
FROM regexp_match($1, '^([0-9]{4})-([0-9]{1,2})-([0-9]{1,2})(?:[ T]|$)') AS p
$$)",
    "CREATE FUNCTION jet_year(text) RETURNS integer IMMUTABLE PARALLEL SAFE LANGUAGE sql AS $$ SELECT CASE"
    " WHEN $1 ~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}([ T]|$)' THEN CASE WHEN jet_dateok(substr($1, 1, 4)::integer,"
    " substr($1, 6, 2)::integer, substr($1, 9, 2)::integer) THEN substr($1, 1,4)::integer END"
    " ELSE (jet_dateparts($1))[1] END $$",
    "CREATE FUNCTION jet_month(text) RETURNS integer IMMUTABLE PARALLEL SAFE LANGUAGE sql AS $$ SELECT CASE"
    " WHEN $1 ~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}([ T]|$)' THEN CASE WHEN jet_dateok(substr($1, 1, 4)::integer,"
    " substr($1, 6, 2)::integer, substr($1, 9, 2)::integer) THEN substr($1, 6,2)::integer END"
    " ELSE (jet_dateparts($1))[2] END $$",
    "CREATE FUNCTION jet_day(text) RETURNS integer IMMUTABLE PARALLEL SAFE LANGUAGE sql AS $$ SELECT CASE"
    " WHEN $1 ~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}([ T]|$)' THEN CASE WHEN jet_dateok(substr($1, 1, 4)::integer,"
    " substr($1, 6, 2)::integer, substr($1, 9, 2)::integer) THEN substr($1, 9,2)::integer END"
    " ELSE (jet_dateparts($1))[3] END $$",
    // A number is no date, as in the file.
    "CREATE FUNCTION jet_year(double precision) RETURNS integer IMMUTABLE PARALLEL SAFE LANGUAGE sql AS $$ SELECT NULL::integer $$",
    "CREATE FUNCTION jet_month(double precision) RETURNS integer IMMUTABLE PARALLEL SAFE LANGUAGE sql AS $$ SELECT NULL::integer $$",
    "CREATE FUNCTION jet_day(double precision) RETURNS integer IMMUTABLE PARALLEL SAFE LANGUAGE sql AS $$ SELECT NULL::integer $$",
    // "0", "0.0", "0.00" ...: the number of decimals, else -1.
    R"(CREATE FUNCTION jet_decimals(text) RETURNS integer IMMUTABLE STRICT PARALLEL SAFE LANGUAGE sql AS $$
SELECT CASE WHEN $1 = '0' THEN 0 WHEN $1 ~ '^0\.0+$' THEN length($1) - 2 ELSE -1 END
$$)",
    // Rounds the shortest decimal form half away from zero (2.675 -> 2,68),
    // with the regional decimal separator.
    R"(CREATE FUNCTION jet_fixed(x double precision, d integer) RETURNS text STABLE STRICT PARALLEL SAFE LANGUAGE sql AS $$
SELECT CASE WHEN x = 'NaN'::float8 OR x = 'Infinity'::float8 OR x = '-Infinity'::float8 THEN x::text
  ELSE replace(round(x::text::numeric, d)::text, '.', coalesce(nullif(current_setting('molarix.decimal', true), ''), ',')) END
$$)",
    R"(CREATE FUNCTION jetformat(x text, f text) RETURNS text STABLE PARALLEL SAFE LANGUAGE plpgsql AS $$
DECLARE
  d integer;
  parts integer[];
  fmt text;
  out text := '';
  c text;
  run integer;
  i integer := 1;
  sep text := coalesce(nullif(current_setting('molarix.datesep', true), ''), '/');
  names boolean;
BEGIN
  IF x IS NULL THEN RETURN ''; END IF;
  IF f IS NULL THEN RETURN x; END IF;
  d := jet_decimals(f);
  IF d >= 0 THEN
    IF btrim(x) ~ '^[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?$' THEN
      RETURN jet_fixed(btrim(x)::double precision, d);
    END IF;
    RETURN x;
  END IF;
  fmt := lower(f);
  names := fmt ~ '[dmy]';
  parts := jet_dateparts(x);
  WHILE i <= length(fmt) LOOP
    c := substr(fmt, i, 1);
    run := 1;
    WHILE i + run <= length(fmt) AND substr(fmt, i + run, 1) = c LOOP run := run + 1; END LOOP;
    IF c = 'd' AND run <= 2 THEN
      out := out || CASE WHEN run = 2 THEN lpad(parts[3]::text, 2, '0') ELSE parts[3]::text END;
    ELSIF c = 'm' AND run <= 2 THEN
      out := out || CASE WHEN run = 2 THEN lpad(parts[2]::text, 2, '0') ELSE parts[2]::text END;
    ELSIF c = 'y' AND run = 4 THEN
      out := out || lpad(parts[1]::text, 4, '0');
    ELSIF c = 'y' AND run = 2 THEN
      out := out || lpad((parts[1] % 100)::text, 2, '0');
    ELSIF c = '/' THEN
      out := out || repeat(sep, run);
    ELSIF c IN ('-', '.', ' ') THEN
      out := out || repeat(c, run);
    ELSE
      RAISE EXCEPTION 'Format: unsupported format "%"', f;
    END IF;
    i := i + run;
  END LOOP;
  IF NOT names THEN
    RAISE EXCEPTION 'Format: unsupported format "%"', f;
  END IF;
  IF parts IS NULL THEN RETURN x; END IF;
  RETURN out;
END
$$)",
    R"(CREATE FUNCTION jetformat(x double precision, f text) RETURNS text STABLE PARALLEL SAFE LANGUAGE sql AS $$
SELECT CASE WHEN x IS NULL THEN '' WHEN jet_decimals(f) >= 0 THEN jet_fixed(x, jet_decimals(f))
  ELSE jetformat(CASE WHEN x = trunc(x) AND abs(x) < 1e15 THEN trunc(x)::bigint::text ELSE x::text END, f) END
$$)",
};

}   // namespace

namespace Schema {

void createOnServer(DbConnection &conn)
{
    if (!conn.onServer())
        throw DbError(QStringLiteral("Η σύνδεση δεν είναι με διακομιστή βάσης δεδομένων."));
    const qlonglong existing =
        conn.scalarNative(QStringLiteral("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
                                         " WHERE n.nspname = current_schema() AND c.relname = 'security'"))
            .toLongLong();
    if (existing > 0)
        throw DbError(QStringLiteral("Η βάση δεδομένων έχει ήδη ιατρείο· μένει όπως είναι."));
    DbTransaction tx(conn);
    for (const char *stmt : kServerTypes)
        conn.executeNative(QString::fromUtf8(stmt));
    for (const char *stmt : kServerFunctions)
        conn.executeNative(QString::fromUtf8(stmt));
    for (const QString &stmt : fileTableStatements())
        conn.executeNative(ServerTableStatement(stmt));
    // Surname searches (LIKE 'abc%') stay indexed on the folded text.
    conn.executeNative(QStringLiteral("CREATE INDEX IX_PELATH_EPWNYMO_FOLD ON STOIXEIA_PELATH (molarix_fold(EPWNYMO) text_pattern_ops)"));
    conn.executeNative(QStringLiteral("CREATE TABLE SCHEMA_VERSION (VERSION integer NOT NULL)"));
    conn.executeNative(QStringLiteral("INSERT INTO SCHEMA_VERSION (VERSION) VALUES (0)"));
    SchemaVersion::applyAll(conn);
    // The login's password is the access password; none is stored.
    conn.executeNative(QStringLiteral("INSERT INTO SECURITY (\"PASSWORD\") VALUES (NULL)"));
    // The group roles of the users come now when the login may make them;
    // otherwise with the first user (or from the server's administrator).
    if (ServerRoles::mayCreateRoles(conn))
        ServerRoles::setUp(conn);
    tx.commit();
}

QStringList publicDatabaseRights(DbConnection &conn)
{
    QStringList granted;
    for (const char *right : {"CONNECT", "TEMP"}) {
        const QString name = QString::fromLatin1(right);
        if (conn.scalarNative(QStringLiteral("SELECT has_database_privilege('public', current_database(), ?)"), {name}).toBool())
            granted << name;
    }
    return granted;
}

}   // namespace Schema
