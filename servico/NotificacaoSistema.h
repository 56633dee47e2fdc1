#pragma once
// What the service tells the service manager (systemd) over the datagram socket it names in
// NOTIFY_SOCKET: ready after start-up, alive after each tick, stopping at the close, and a status
// line. Not started by systemd (no NOTIFY_SOCKET), every call does nothing. Sends never block.
#include <QByteArray>
#include <QString>

class TNotificacaoSistema {
public:
    // `endereco`: a socket path, or "@name" for the abstract namespace.
    explicit TNotificacaoSistema(const QString& endereco = qEnvironmentVariable("NOTIFY_SOCKET"));
    ~TNotificacaoSistema();
    TNotificacaoSistema(const TNotificacaoSistema&) = delete;
    TNotificacaoSistema& operator=(const TNotificacaoSistema&) = delete;

    bool Ativa() const { return FSocket >= 0; }
    void Pronto(const QString& estado);
    void Vivo();
    void Parando();
    void Estado(const QString& estado);
    // Start-up takes this much longer than the manager's start timeout allows (a retry wait).
    void EstendePartida(int milissegundos);

    // The watchdog interval the manager set for this process (WATCHDOG_USEC, WATCHDOG_PID), in
    // milliseconds; 0 when there is none.
    static qint64 IntervaloVigia();

private:
    void Envia(const QByteArray& mensagem);

    int FSocket = -1;
    QByteArray FEndereco; // sockaddr_un bytes
};
