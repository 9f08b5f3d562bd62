#include "data/PasswordHash.h"

#include "data/Log.h"

#include <sodium.h>

namespace {
const QString kPrefix = QStringLiteral("$argon2id$");

bool sodiumReady() {
    static const bool ok = sodium_init() >= 0;
    return ok;
}

QByteArray folded(const QString &password) {
    return password.toCaseFolded().toUtf8();
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
        const QByteArray h = stored.toLatin1();
        const QByteArray p = folded(password);
        return crypto_pwhash_str_verify(h.constData(), p.constData(), quint64(p.size())) == 0;
    }
    // A readable password of an older file: compared without regard to case, as that file's engine did.
    return folded(stored) == folded(password);
}

} // namespace PasswordHash
