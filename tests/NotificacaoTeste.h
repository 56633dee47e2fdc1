#pragma once
// Stands in for systemd: a datagram socket bound where NOTIFY_SOCKET points (a path, or "@name"
// for the abstract namespace), collecting what the service tells its manager.
#include <QFile>
#include <QStringList>

#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class TReceptorNotificacoes {
public:
    explicit TReceptorNotificacoes(const QString& endereco)
    {
        FSocket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un local{};
        local.sun_family = AF_UNIX;
        const QByteArray bytes = QFile::encodeName(endereco);
        if (FSocket < 0 || static_cast<std::size_t>(bytes.size()) >= sizeof local.sun_path)
            return;
        std::memcpy(local.sun_path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
        auto tamanho = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + static_cast<std::size_t>(bytes.size()));
        if (bytes.startsWith('@'))
            local.sun_path[0] = '\0';
        else
            tamanho += 1;
        Ligado = ::bind(FSocket, reinterpret_cast<sockaddr*>(&local), tamanho) == 0;
    }
    ~TReceptorNotificacoes() { ::close(FSocket); }
    TReceptorNotificacoes(const TReceptorNotificacoes&) = delete;
    TReceptorNotificacoes& operator=(const TReceptorNotificacoes&) = delete;

    bool Ligado = false;
    QStringList Recebidas; // everything so far

    // What arrived since the last call.
    QStringList Novas()
    {
        QStringList novas;
        char bloco[1024];
        for (ssize_t n; (n = ::recv(FSocket, bloco, sizeof bloco, 0)) > 0;)
            novas << QString::fromUtf8(bloco, n);
        Recebidas << novas;
        return novas;
    }
    // Whether a message starting with `prefixo` came after the first `desde` ones; free of side
    // effects on what it reports, so QTRY_VERIFY may evaluate it again.
    bool Chegou(const QString& prefixo, qsizetype desde = 0)
    {
        Novas();
        for (qsizetype i = desde; i < Recebidas.size(); ++i)
            if (Recebidas[i].startsWith(prefixo))
                return true;
        return false;
    }

private:
    int FSocket = -1;
};
