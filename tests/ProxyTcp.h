#pragma once
// A TCP relay on 127.0.0.1 between the program and a server of the test's own, that can stop
// answering the way a broken network path does: it keeps every socket open and simply stops passing
// bytes (Bloqueia), passes them again (Libera), or drops every connection at once (Corta). It never
// holds a connection for ever: one kept silent past PrazoSilencio is cut and counted, so a client
// that waits for an answer it will never get shows up in Cortadas() instead of hanging the test.
// Its thread ends with the object, or by itself after kVidaMaxima.
#include <QString>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

class TProxyTcp {
public:
    static constexpr std::chrono::minutes kVidaMaxima{5};

    explicit TProxyTcp(int portaDestino, std::chrono::milliseconds prazoSilencio = std::chrono::seconds(8))
        : FDestino(portaDestino), FPrazoSilencio(prazoSilencio)
    {
    }
    ~TProxyTcp() { Para(); }
    TProxyTcp(const TProxyTcp&) = delete;
    TProxyTcp& operator=(const TProxyTcp&) = delete;

    // Listens on a free loopback port; false when it cannot.
    bool Inicia()
    {
        FEscuta = ::socket(AF_INET, SOCK_STREAM, 0);
        if (FEscuta < 0)
            return false;
        sockaddr_in endereco = Loopback(0);
        socklen_t tamanho = sizeof endereco;
        if (::bind(FEscuta, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) != 0
            || ::listen(FEscuta, 16) != 0
            || ::getsockname(FEscuta, reinterpret_cast<sockaddr*>(&endereco), &tamanho) != 0)
            return false;
        FPorta = ntohs(endereco.sin_port);
        FLinha = std::thread([this] { Laco(); });
        return true;
    }

    int Porta() const { return FPorta; }
    // The port of a host/port:path location (0 when it names none).
    static int PortaDe(const QString& endereco)
    {
        const qsizetype barra = endereco.indexOf('/');
        const qsizetype doisPontos = endereco.indexOf(':', barra + 1);
        return barra < 0 || doisPontos < 0 ? 0 : endereco.mid(barra + 1, doisPontos - barra - 1).toInt();
    }
    // A database location through the relay: host/port:path.
    QString Endereco(const QString& caminho) const { return QStringLiteral("127.0.0.1/%1:%2").arg(FPorta).arg(caminho); }

    // Stops passing bytes on every connection, present and new; sockets stay open.
    void Bloqueia() { FBloqueado = true; }
    // Passes bytes again; a connection accepted meanwhile is joined to the server now.
    void Libera()
    {
        FAposAceite = false;
        FBloqueado = false;
    }
    // New connections get the server's first answer (the protocol's accept) and then silence: a
    // server that takes the connection and never answers the attach.
    void SilenciaAposAceite() { FAposAceite = true; }
    // Closes every connection now (the relay goes on accepting).
    void Corta() { FCortar = true; }
    // Connections cut because they were kept silent past the deadline: a client that waited.
    int Cortadas() const { return FCortadas; }
    // Connections accepted so far.
    int Aceitas() const { return FAceitas; }

    void Para()
    {
        FParar = true;
        if (FLinha.joinable())
            FLinha.join();
        if (FEscuta >= 0)
            ::close(FEscuta);
        FEscuta = -1;
    }

private:
    using TRelogio = std::chrono::steady_clock;
    struct TPar {
        int Cliente = -1;
        int Servidor = -1; // -1 while the connection waits for the path to come back
        TRelogio::time_point SilencioDesde{};
        bool EmSilencio = false;
        bool Mudo = false; // silent after the server's first answer
    };

    int FDestino;
    std::chrono::milliseconds FPrazoSilencio;
    int FEscuta = -1;
    int FPorta = 0;
    std::thread FLinha;
    std::vector<TPar> FPares;
    std::atomic<bool> FBloqueado{false};
    std::atomic<bool> FAposAceite{false};
    std::atomic<bool> FCortar{false};
    std::atomic<bool> FParar{false};
    std::atomic<int> FCortadas{0};
    std::atomic<int> FAceitas{0};

    static sockaddr_in Loopback(int porta)
    {
        sockaddr_in endereco{};
        endereco.sin_family = AF_INET;
        endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        endereco.sin_port = htons(static_cast<uint16_t>(porta));
        return endereco;
    }

    int ConectaDestino() const
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        if (s < 0)
            return -1;
        const sockaddr_in endereco = Loopback(FDestino);
        if (::connect(s, reinterpret_cast<const sockaddr*>(&endereco), sizeof endereco) != 0) {
            ::close(s);
            return -1;
        }
        return s;
    }

    static void Fecha(TPar& par)
    {
        if (par.Cliente >= 0)
            ::close(par.Cliente);
        if (par.Servidor >= 0)
            ::close(par.Servidor);
        par.Cliente = par.Servidor = -1;
    }

    // Moves what is waiting on `de` to `para`; false when either side is closed.
    static bool Passa(int de, int para)
    {
        char bytes[65536];
        const ssize_t lidos = ::recv(de, bytes, sizeof bytes, MSG_DONTWAIT);
        if (lidos == 0)
            return false;
        if (lidos < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        for (ssize_t enviados = 0; enviados < lidos;) {
            const ssize_t n = ::send(para, bytes + enviados, static_cast<size_t>(lidos - enviados), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            enviados += n;
        }
        return true;
    }

    void Laco()
    {
        const auto fim = TRelogio::now() + kVidaMaxima;
        while (!FParar && TRelogio::now() < fim) {
            const bool bloqueado = FBloqueado;
            const auto agora = TRelogio::now();
            if (FCortar.exchange(false)) {
                for (TPar& par : FPares)
                    Fecha(par);
                FPares.clear();
            }
            const bool aposAceite = FAposAceite;
            for (TPar& par : FPares) {
                if (!aposAceite)
                    par.Mudo = false;
                if (!bloqueado && !par.Mudo) {
                    par.EmSilencio = false;
                    if (par.Servidor < 0 && (par.Servidor = ConectaDestino()) < 0)
                        Fecha(par);
                } else if (!par.EmSilencio) {
                    par.EmSilencio = true;
                    par.SilencioDesde = agora;
                } else if (agora - par.SilencioDesde > FPrazoSilencio) {
                    ++FCortadas;
                    Fecha(par);
                }
            }
            std::erase_if(FPares, [](const TPar& par) { return par.Cliente < 0; });

            std::vector<pollfd> eventos{{FEscuta, POLLIN, 0}};
            for (const TPar& par : FPares) {
                // Silent: only a client that hangs up is noticed; its bytes stay unread.
                const bool mudo = bloqueado || par.Mudo;
                eventos.push_back({par.Cliente, static_cast<short>(mudo ? POLLRDHUP : POLLIN | POLLRDHUP), 0});
                eventos.push_back({par.Servidor, static_cast<short>(mudo || par.Servidor < 0 ? 0 : POLLIN), 0});
            }
            if (::poll(eventos.data(), eventos.size(), 50) <= 0)
                continue;
            if (eventos[0].revents & POLLIN) {
                const int cliente = ::accept(FEscuta, nullptr, nullptr);
                if (cliente >= 0) {
                    ++FAceitas;
                    TPar par;
                    par.Cliente = cliente;
                    FPares.push_back(par);
                }
            }
            for (size_t i = 0; i + 1 < eventos.size() && i / 2 < FPares.size(); i += 2) {
                TPar& par = FPares[i / 2];
                const short cliente = eventos[i + 1].revents;
                const short servidor = eventos[i + 2].revents;
                if (bloqueado || par.Mudo) {
                    if (cliente & (POLLRDHUP | POLLHUP | POLLERR))
                        Fecha(par);
                    continue;
                }
                bool vivo = true;
                if (cliente & (POLLIN | POLLRDHUP | POLLHUP | POLLERR))
                    vivo = Passa(par.Cliente, par.Servidor);
                if (vivo && (servidor & (POLLIN | POLLHUP | POLLERR))) {
                    vivo = Passa(par.Servidor, par.Cliente);
                    par.Mudo = vivo && aposAceite;
                }
                if (!vivo)
                    Fecha(par);
            }
        }
        for (TPar& par : FPares)
            Fecha(par);
        FPares.clear();
    }
};
