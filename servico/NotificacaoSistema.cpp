#include "NotificacaoSistema.h"

#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

TNotificacaoSistema::TNotificacaoSistema(const QString& endereco)
{
    const QByteArray caminho = endereco.toLocal8Bit();
    sockaddr_un destino{};
    destino.sun_family = AF_UNIX;
    // Only a path or an abstract name; anything else (empty, too long) leaves the service silent.
    if (caminho.size() < 2 || (caminho[0] != '/' && caminho[0] != '@')
        || static_cast<std::size_t>(caminho.size()) > sizeof destino.sun_path)
        return;
    std::memcpy(destino.sun_path, caminho.constData(), static_cast<std::size_t>(caminho.size()));
    if (destino.sun_path[0] == '@')
        destino.sun_path[0] = '\0';
    // An abstract name is exactly its bytes; a path ends at its terminating zero.
    const auto tamanho = static_cast<qsizetype>(offsetof(sockaddr_un, sun_path))
                         + caminho.size() + (caminho[0] == '/' ? 1 : 0);
    FSocket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (FSocket >= 0)
        FEndereco = QByteArray(reinterpret_cast<const char*>(&destino), qMin<qsizetype>(tamanho, sizeof destino));
}

TNotificacaoSistema::~TNotificacaoSistema()
{
    if (FSocket >= 0)
        ::close(FSocket);
}

void TNotificacaoSistema::Envia(const QByteArray& mensagem)
{
    if (FSocket < 0)
        return;
    // A manager that stopped reading must never stall the engine: the message is dropped.
    ::sendto(FSocket, mensagem.constData(), static_cast<std::size_t>(mensagem.size()), MSG_DONTWAIT | MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr*>(FEndereco.constData()), static_cast<socklen_t>(FEndereco.size()));
}

namespace {
QByteArray LinhaEstado(const QString& estado)
{
    QString linha = estado;
    linha.replace('\n', ' ');
    return "STATUS=" + linha.toUtf8();
}
} // namespace

void TNotificacaoSistema::Pronto(const QString& estado)
{
    Envia("READY=1\n" + LinhaEstado(estado));
}

void TNotificacaoSistema::Vivo()
{
    Envia("WATCHDOG=1");
}

void TNotificacaoSistema::Parando()
{
    Envia("STOPPING=1");
}

void TNotificacaoSistema::Estado(const QString& estado)
{
    Envia(LinhaEstado(estado));
}

void TNotificacaoSistema::EstendePartida(int milissegundos)
{
    Envia("EXTEND_TIMEOUT_USEC=" + QByteArray::number(qint64(milissegundos) * 1000));
}

qint64 TNotificacaoSistema::IntervaloVigia()
{
    bool ok = false;
    const qint64 micro = qEnvironmentVariable("WATCHDOG_USEC").toLongLong(&ok);
    if (!ok || micro <= 0)
        return 0;
    const QString pid = qEnvironmentVariable("WATCHDOG_PID");
    if (!pid.isEmpty() && pid.toLongLong() != ::getpid())
        return 0; // meant for another process
    return qMax<qint64>(1, micro / 1000);
}
