#include "Porta.h"

#include "CaminhoPorta.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
long long AgoraMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Once an answer has begun, each further byte may take this long to come (a byte takes about
// 1 ms at 9600 baud) ...
constexpr int kPausaBytesMs = 100;
// ... and the whole answer this long past the wait for its beginning (the longest frame at 4800 baud).
constexpr int kTransmissaoMs = 600;

int Restante(long long limite)
{
    const long long resto = limite - AgoraMs();
    return resto > 0 ? static_cast<int>(resto) : 0;
}
} // namespace

std::string TPorta::CaminhoDaPorta(int numero)
{
    return CaminhoDaPortaSerial(numero);
}

bool TPorta::Abre(const std::string& caminho)
{
    Fecha();
    FCaminho = caminho;
    return AbreDispositivo();
}

void TPorta::Fecha()
{
    FechaDispositivo();
    FCaminho.clear();
}

bool TPorta::AbreDispositivo()
{
    if (FCaminho.empty())
        return false;
    FDescritor = ::open(FCaminho.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FDescritor < 0)
        return false;
    // Ours alone while open: no other program (a modem manager, a terminal) opens it beside us.
    // A device that is not a terminal (a test's plain file) has nothing to make exclusive.
    ::ioctl(FDescritor, TIOCEXCL);
    termios modo{};
    if (::tcgetattr(FDescritor, &modo) == 0) {
        ::cfmakeraw(&modo);
        modo.c_cflag |= CLOCAL | CREAD;
        modo.c_cc[VMIN] = 0;
        modo.c_cc[VTIME] = 0;
        ::cfsetispeed(&modo, B9600);
        ::cfsetospeed(&modo, B9600);
        if (::tcsetattr(FDescritor, TCSANOW, &modo) != 0) {
            FechaDispositivo();
            return false;
        }
        ::tcflush(FDescritor, TCIOFLUSH);
    }
    FLeitor.Limpa();
    ++FAberturas;
    return true;
}

void TPorta::FechaDispositivo()
{
    if (FDescritor >= 0) {
        // Cleared before the close: another descriptor on the device (the driver's lock) keeps the
        // terminal open, and with it a flag that would refuse our own reopening.
        ::ioctl(FDescritor, TIOCNXCL);
        ::close(FDescritor);
    }
    FDescritor = -1;
    FLeitor.Limpa();
}

void TPorta::DescartaEntrada()
{
    // Whatever is waiting belongs to earlier requests (late answers, noise); a late answer to the
    // last request still teaches how slow the line is.
    std::uint8_t lixo[256];
    ssize_t n;
    while ((n = ::read(FDescritor, lixo, sizeof lixo)) > 0)
        FLeitor.Acrescenta(lixo, static_cast<std::size_t>(n));
    while (auto quadro = FLeitor.ExtraiQuadro())
        Aprende(*quadro, AgoraMs());
    FLeitor.Limpa();
}

void TPorta::Aprende(const Protocolo::TQuadro& quadro, long long agora)
{
    if (!FSemResposta || quadro.Numero != *FSemResposta || !(quadro.Comando & Protocolo::Resposta))
        return;
    FSemResposta.reset();
    const long long atraso = agora - FEnviados[quadro.Numero];
    // Later than anyone waits: that line is as good as silent.
    if (atraso <= 0 || atraso > kEsperaMaximaMs)
        return;
    const int espera = static_cast<int>(std::min<long long>(kEsperaMaximaMs, atraso + atraso / 4 + 100));
    FEsperaAprendida = std::max(FEsperaAprendida, espera);
}

bool TPorta::EscreveTudo(const Protocolo::TBytes& bytes, long long limite)
{
    std::size_t enviado = 0;
    while (enviado < bytes.size()) {
        const ssize_t n = ::write(FDescritor, bytes.data() + enviado, bytes.size() - enviado);
        if (n > 0) {
            enviado += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd espera{FDescritor, POLLOUT, 0};
        const int resto = Restante(limite);
        if (resto == 0 || ::poll(&espera, 1, resto) <= 0 || (espera.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return false;
    }
    return true;
}

std::optional<Protocolo::TQuadro> TPorta::Troca(std::uint8_t comando, const Protocolo::TBytes& dados, int milissegundos)
{
    const long long inicio = AgoraMs();
    long long limite = inicio + std::max(milissegundos, FEsperaAprendida);
    // A device that went away (or was restarted behind the same path) is tried again here.
    if (FDescritor < 0 && !AbreDispositivo())
        return std::nullopt;
    DescartaEntrada();

    FNumero = static_cast<std::uint8_t>(FNumero + 1);
    if (FNumero == 0)
        FNumero = 1;
    Protocolo::TQuadro pedido{FNumero, comando, dados};
    if (!EscreveTudo(Protocolo::MontaQuadro(pedido), limite)) {
        FechaDispositivo();
        return std::nullopt;
    }
    FEnviados[FNumero] = AgoraMs();
    // The last request's late answer may still come while this one waits; after this exchange only
    // this one's may teach.
    const std::optional<std::uint8_t> anterior = FSemResposta;
    auto semResposta = [this] {
        FSemResposta = FNumero;
        return std::nullopt;
    };

    for (;;) {
        while (auto quadro = FLeitor.ExtraiQuadro()) {
            if (quadro->Numero == FNumero && quadro->Comando == (comando | Protocolo::Resposta)) {
                FSemResposta.reset();
                return quadro;
            }
            if (anterior && quadro->Numero == *anterior) {
                FSemResposta = anterior;
                Aprende(*quadro, AgoraMs());
                limite = std::max(limite, inicio + FEsperaAprendida);
            }
        }
        // An answer under way is waited for while its bytes keep coming, within the whole answer's time.
        if (FLeitor.Pendentes() > 0)
            limite = std::max(limite, std::min(AgoraMs() + kPausaBytesMs,
                                               inicio + std::max(milissegundos, FEsperaAprendida) + kTransmissaoMs));
        const int resto = Restante(limite);
        if (resto == 0)
            return semResposta();
        pollfd espera{FDescritor, POLLIN, 0};
        const int pronto = ::poll(&espera, 1, resto);
        if (pronto < 0 && errno == EINTR)
            continue;
        if (pronto <= 0)
            return semResposta();
        std::uint8_t bytes[512];
        const ssize_t n = ::read(FDescritor, bytes, sizeof bytes);
        if (n > 0) {
            FLeitor.Acrescenta(bytes, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        // Hang-up or error: the device is gone for now.
        FechaDispositivo();
        return std::nullopt;
    }
}
