#include "core/PasswordHash.h"

#include "core/Log.h"

#include <sodium.h>

namespace {
const QString kPrefix = QStringLiteral("$argon2id$");
// A hash of a random text nobody kept, with the same cost settings as hash() uses.
const char *const kNobody =
    "$argon2id$v=19$m=65536,t=2,p=1$OB0h24Uc7iFLUd3tisOc6A$Bcxvf1yxD18cQm5s/rnbEH7h8mZd/qCd8mEzC7IWwQU";
int g_checks = 0;

bool sodiumReady() {
    static const bool ok = sodium_init() >= 0;
    return ok;
}

QByteArray folded(const QString &password) {
    return password.toCaseFolded().toUtf8();
}

bool verify(const QByteArray &hash, const QString &password) {
    ++g_checks;
    const QByteArray p = folded(password);
    return crypto_pwhash_str_verify(hash.constData(), p.constData(), quint64(p.size())) == 0;
}
} // namespace

namespace PasswordHash {

QString hash(const QString &password) {
    if (!sodiumReady())
        return {};
    const QByteArray p = folded(password);
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, p.constData(), quint64(p.size()), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        Log::error(QStringLiteral("Usuarios"),
                   QStringLiteral("No se pudo calcular el hash de una contraseña."));
        return {};
    }
    return QString::fromLatin1(out);
}

bool isHash(const QString &stored) {
    return stored.startsWith(kPrefix);
}

bool matches(const QString &stored, const QString &password) {
    if (isHash(stored)) {
        if (!sodiumReady())
            return false;
        return verify(stored.toLatin1(), password);
    }
    // A readable password of an older file: compared without regard to case, as that file's engine did.
    return folded(stored) == folded(password);
}

void spendCheck(const QString &password) {
    if (sodiumReady())
        verify(QByteArray(kNobody), password);
}

int checksMade() {
    return g_checks;
}

} // namespace PasswordHash
