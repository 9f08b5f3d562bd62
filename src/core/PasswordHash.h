#pragma once

#include <QString>

// Users' passwords are never stored readable: an Argon2id hash (libsodium's crypto_pwhash_str) of the
// password folded to a case-insensitive form, so that the login keeps ignoring letter case.
namespace PasswordHash {
// The hash; empty text when it could not be computed (out of memory).
QString hash(const QString &password);
// Whether a stored value is one of our hashes (anything else is a readable password of an older file).
bool isHash(const QString &stored);
// Whether the typed password matches the stored value, hashed or readable.
bool matches(const QString &stored, const QString &password);
// The work of checking a password against a hash, spent on a hash nobody's password matches: a refusal
// that checked no hash (an unknown user) then costs what a wrong password costs, and the time of the
// answer does not tell which user names exist.
void spendCheck(const QString &password);
// How many hashes were checked in this process (tests count them).
int checksMade();
} // namespace PasswordHash
