#pragma once

#include <QString>

namespace TestSupport {

// A PostgreSQL cluster of one test's own, beside the shared test server: the test may stop and start it
// while the other tests go on using theirs. Made with Debian's cluster tools inside the throwaway
// environment of tools/con-servidor.sh (which names where clusters live), on a free port of loopback, with
// the shared server's user and password; stopped and dropped at the end.
class ServidorPropio {
public:
    // enCastellano: the server writes its messages in Spanish (those of a failed login too).
    explicit ServidorPropio(bool enCastellano = false);
    ~ServidorPropio();
    ServidorPropio(const ServidorPropio &) = delete;
    ServidorPropio &operator=(const ServidorPropio &) = delete;

    // Whether it was made and is running; otherwise why not.
    bool listo() const { return m_listo; }
    QString motivo() const { return m_motivo; }
    // A new empty database on it (nombre: letters and digits), and its address for --database.
    QString nuevaBase(const QString &nombre);
    bool detener();
    bool iniciar();

private:
    bool herramienta(const QStringList &args);
    QString m_version;
    QString m_nombre;
    int m_puerto = 0;
    bool m_creado = false;
    bool m_listo = false;
    QString m_motivo;
};

} // namespace TestSupport
