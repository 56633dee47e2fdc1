// concentrador-sim: a simulated CompanyTec concentrator on a pseudo-terminal, steered through a
// UNIX socket. One thread, one poll() loop; timers only as poll timeouts.
#include "Dispositivo.h"
#include "Protocolo.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {
// Bound on reading one control command or its answer.
constexpr int EsperaControleMs = 3000;

int gSinalEscrita = -1;

long long AgoraMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void AoSinal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto escrito = ::write(gSinalEscrita, &byte, 1);
}

int Uso()
{
    std::fprintf(stderr,
                 "uso: concentrador-sim --link CAMINHO --controle SOCKET [--bicos 04,05,44,45] [--auto SEGUNDOS]\n"
                 "     concentrador-sim ctl SOCKET COMANDO [chave=valor ...]\n");
    return 2;
}

std::vector<std::string> Divide(const std::string& texto, char separador)
{
    std::vector<std::string> partes;
    std::string parte;
    std::istringstream fluxo(texto);
    while (std::getline(fluxo, parte, separador))
        if (!parte.empty())
            partes.push_back(parte);
    return partes;
}

// Reads until the peer closes its side, within the bound.
bool LeAteFim(int descritor, std::string& texto)
{
    const long long limite = AgoraMs() + EsperaControleMs;
    for (;;) {
        const long long resto = limite - AgoraMs();
        if (resto <= 0)
            return false;
        pollfd espera{descritor, POLLIN, 0};
        const int pronto = ::poll(&espera, 1, static_cast<int>(resto));
        if (pronto < 0 && errno == EINTR)
            continue;
        if (pronto <= 0)
            return false;
        char bytes[4096];
        const ssize_t n = ::read(descritor, bytes, sizeof bytes);
        if (n == 0)
            return true;
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (n > 0)
            texto.append(bytes, static_cast<std::size_t>(n));
        if (texto.size() > 65536)
            return false;
    }
}

bool EscreveTudo(int descritor, const std::string& texto)
{
    std::size_t enviado = 0;
    while (enviado < texto.size()) {
        const ssize_t n = ::write(descritor, texto.data() + enviado, texto.size() - enviado);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        enviado += static_cast<std::size_t>(n);
    }
    return true;
}

sockaddr_un EnderecoSocket(const std::string& caminho, bool& valido)
{
    sockaddr_un endereco{};
    endereco.sun_family = AF_UNIX;
    valido = caminho.size() < sizeof endereco.sun_path;
    if (valido)
        std::memcpy(endereco.sun_path, caminho.c_str(), caminho.size() + 1);
    return endereco;
}

// ---- ctl: one command, its answer on standard output ----
int ExecutaCtl(int argc, char** argv)
{
    if (argc < 4)
        return Uso();
    bool valido = false;
    const sockaddr_un endereco = EnderecoSocket(argv[2], valido);
    if (!valido) {
        std::fprintf(stderr, "caminho de socket longo demais\n");
        return 1;
    }
    const int descritor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descritor < 0 || ::connect(descritor, reinterpret_cast<const sockaddr*>(&endereco), sizeof endereco) != 0) {
        std::fprintf(stderr, "sem conexão com o simulador em %s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    // One argument a line, so values may hold blanks.
    std::string pedido;
    for (int i = 3; i < argc; ++i)
        pedido += std::string(argv[i]) + "\n";
    std::string resposta;
    const bool ok = EscreveTudo(descritor, pedido) && ::shutdown(descritor, SHUT_WR) == 0 && LeAteFim(descritor, resposta);
    ::close(descritor);
    if (!ok) {
        std::fprintf(stderr, "o simulador não respondeu\n");
        return 1;
    }
    const auto quebra = resposta.find('\n');
    const std::string situacao = resposta.substr(0, quebra);
    const std::string corpo = quebra == std::string::npos ? std::string() : resposta.substr(quebra + 1);
    if (situacao != "OK") {
        std::fprintf(stderr, "%s\n", corpo.c_str());
        return 1;
    }
    if (!corpo.empty())
        std::printf("%s\n", corpo.c_str());
    return 0;
}

// ---- the device ----
struct TEnvioAtrasado {
    long long Instante;
    Protocolo::TBytes Bytes;
};

// A file as the file system knows it, to recognise our own socket at the end.
struct TIdentidade {
    dev_t Dispositivo;
    ino_t Inode;
};

struct TServidor {
    std::string Link;
    std::string Controle;
    TDispositivo Dispositivo;
    int Mestre = -1;
    int Escravo = -1;
    int Escuta = -1;
    std::string LinkCriado; // the pseudo-terminal our link points to, once made
    std::optional<TIdentidade> ControleCriado;
    std::vector<TEnvioAtrasado> Atrasados;
    Protocolo::TLeitorQuadros Leitor;
    std::mt19937 Gerador{std::random_device{}()};

    explicit TServidor(const std::vector<int>& bicos) : Dispositivo(bicos) {}

    void Envia(const Protocolo::TBytes& bytes)
    {
        // Nobody reading the line: what does not fit is lost, as on a real wire.
        [[maybe_unused]] const auto escrito = ::write(Mestre, bytes.data(), bytes.size());
    }

    void AtendeLinha()
    {
        std::uint8_t bytes[1024];
        const ssize_t n = ::read(Mestre, bytes, sizeof bytes);
        if (n <= 0)
            return;
        Leitor.Acrescenta(bytes, static_cast<std::size_t>(n));
        while (auto pedido = Leitor.ExtraiQuadro()) {
            const TModoFalha modo = Dispositivo.ModoFalha();
            if (modo == TModoFalha::Silencio)
                continue;
            if (modo == TModoFalha::Lixo) {
                Protocolo::TBytes lixo(std::uniform_int_distribution<std::size_t>(8, 96)(Gerador));
                for (auto& byte : lixo)
                    byte = static_cast<std::uint8_t>(Gerador());
                lixo[0] = Protocolo::Inicio;
                Envia(lixo);
                continue;
            }
            const auto resposta = Dispositivo.AtendePedido(*pedido);
            if (!resposta)
                continue;
            if (modo == TModoFalha::Lento)
                EnviaDepois(Protocolo::MontaQuadro(*resposta));
            else
                Envia(Protocolo::MontaQuadro(*resposta));
        }
    }

    // The slow device: its answer begins after its delay and, at a given speed, goes out byte by
    // byte as a serial line would carry it (ten bits a byte).
    void EnviaDepois(const Protocolo::TBytes& quadro)
    {
        const long long inicio = AgoraMs() + Dispositivo.AtrasoMs();
        const int baud = Dispositivo.Baud();
        if (baud <= 0) {
            Atrasados.push_back({inicio, quadro});
            return;
        }
        for (std::size_t i = 0; i < quadro.size(); ++i)
            Atrasados.push_back({inicio + static_cast<long long>(i) * 10000 / baud, Protocolo::TBytes{quadro[i]}});
    }

    void AtendeControle()
    {
        const int cliente = ::accept4(Escuta, nullptr, nullptr, SOCK_CLOEXEC);
        if (cliente < 0)
            return;
        std::string pedido;
        std::string resposta;
        if (LeAteFim(cliente, pedido)) {
            std::vector<std::string> palavras = Divide(pedido, '\n');
            if (palavras.size() == 1)
                palavras = Divide(palavras[0], ' ');
            const TRespostaControle resultado = Dispositivo.ExecutaComando(palavras);
            resposta = std::string(resultado.Ok ? "OK" : "ERRO") + "\n" + resultado.Texto;
        } else {
            resposta = "ERRO\ncomando incompleto";
        }
        EscreveTudo(cliente, resposta);
        ::close(cliente);
    }

    void EnviaAtrasados()
    {
        const long long agora = AgoraMs();
        auto vencido = [&](const TEnvioAtrasado& envio) { return envio.Instante <= agora; };
        for (const auto& envio : Atrasados)
            if (vencido(envio))
                Envia(envio.Bytes);
        std::erase_if(Atrasados, vencido);
    }
};

// A link left by a simulator that died points to a pseudo-terminal that is gone; that one is
// replaced. Anything else at the path belongs to somebody else and stays.
bool LiberaLinkAbandonado(const std::string& caminho)
{
    struct stat info{};
    if (::lstat(caminho.c_str(), &info) != 0)
        return true;
    char destino[4096];
    const ssize_t tamanho = S_ISLNK(info.st_mode) ? ::readlink(caminho.c_str(), destino, sizeof destino - 1) : -1;
    const bool abandonado = tamanho > 0 && std::string(destino, static_cast<std::size_t>(tamanho)).starts_with("/dev/pts/") &&
                            ::stat(caminho.c_str(), &info) != 0 && errno == ENOENT;
    if (!abandonado) {
        std::fprintf(stderr, "%s já existe e não foi criado por um simulador; nada foi alterado\n", caminho.c_str());
        return false;
    }
    ::unlink(caminho.c_str());
    return true;
}

// A socket left by a simulator that died accepts no connection; that one is replaced. A live one
// or anything else at the path stays.
bool LiberaSocketAbandonado(const std::string& caminho, const sockaddr_un& endereco)
{
    struct stat info{};
    if (::lstat(caminho.c_str(), &info) != 0)
        return true;
    bool abandonado = false;
    if (S_ISSOCK(info.st_mode)) {
        const int sonda = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        abandonado = sonda >= 0 && ::connect(sonda, reinterpret_cast<const sockaddr*>(&endereco), sizeof endereco) != 0 &&
                     errno == ECONNREFUSED;
        if (sonda >= 0)
            ::close(sonda);
    }
    if (!abandonado) {
        std::fprintf(stderr, "%s já existe e não é um socket abandonado; nada foi alterado\n", caminho.c_str());
        return false;
    }
    ::unlink(caminho.c_str());
    return true;
}

bool CriaTerminal(TServidor& servidor)
{
    // Before our own pseudo-terminal exists: it may get the very number the abandoned link names.
    if (!LiberaLinkAbandonado(servidor.Link))
        return false;
    servidor.Mestre = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (servidor.Mestre < 0 || ::grantpt(servidor.Mestre) != 0 || ::unlockpt(servidor.Mestre) != 0)
        return false;
    const char* nome = ::ptsname(servidor.Mestre);
    if (!nome)
        return false;
    const std::string dispositivo = nome;
    // Our own handle on the slave keeps the line up while the library is not connected (no
    // hang-up storms on the master), and fixes raw mode before anybody opens it.
    servidor.Escravo = ::open(dispositivo.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (servidor.Escravo < 0)
        return false;
    termios modo{};
    ::tcgetattr(servidor.Escravo, &modo);
    ::cfmakeraw(&modo);
    ::tcsetattr(servidor.Escravo, TCSANOW, &modo);
    ::fcntl(servidor.Mestre, F_SETFL, ::fcntl(servidor.Mestre, F_GETFL) | O_NONBLOCK);

    if (::symlink(dispositivo.c_str(), servidor.Link.c_str()) != 0) {
        std::fprintf(stderr, "não foi possível criar %s: %s\n", servidor.Link.c_str(), std::strerror(errno));
        return false;
    }
    servidor.LinkCriado = dispositivo;
    return true;
}

bool CriaControle(TServidor& servidor)
{
    bool valido = false;
    const sockaddr_un endereco = EnderecoSocket(servidor.Controle, valido);
    if (!valido) {
        std::fprintf(stderr, "caminho de socket longo demais: %s\n", servidor.Controle.c_str());
        return false;
    }
    if (!LiberaSocketAbandonado(servidor.Controle, endereco))
        return false;
    servidor.Escuta = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (servidor.Escuta < 0 ||
        ::bind(servidor.Escuta, reinterpret_cast<const sockaddr*>(&endereco), sizeof endereco) != 0) {
        std::fprintf(stderr, "não foi possível escutar em %s: %s\n", servidor.Controle.c_str(), std::strerror(errno));
        return false;
    }
    struct stat info{};
    if (::lstat(servidor.Controle.c_str(), &info) == 0)
        servidor.ControleCriado = TIdentidade{info.st_dev, info.st_ino};
    if (::listen(servidor.Escuta, 8) != 0) {
        std::fprintf(stderr, "não foi possível escutar em %s: %s\n", servidor.Controle.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

std::optional<std::vector<int>> LeBicos(const std::string& lista)
{
    std::vector<int> bicos;
    for (const auto& parte : Divide(lista, ',')) {
        const int codigo = TDispositivo::LeCodigoHexa(parte);
        if (codigo < 0)
            return std::nullopt;
        bicos.push_back(codigo);
    }
    if (bicos.empty())
        return std::nullopt;
    return bicos;
}

// Only what this process created goes away, and only while it is still what we made.
void RemoveCriados(const TServidor& servidor)
{
    char destino[4096];
    const ssize_t tamanho = servidor.LinkCriado.empty() ? -1 : ::readlink(servidor.Link.c_str(), destino, sizeof destino - 1);
    if (tamanho > 0 && std::string(destino, static_cast<std::size_t>(tamanho)) == servidor.LinkCriado)
        ::unlink(servidor.Link.c_str());
    struct stat info{};
    if (servidor.ControleCriado && ::lstat(servidor.Controle.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) &&
        info.st_dev == servidor.ControleCriado->Dispositivo && info.st_ino == servidor.ControleCriado->Inode)
        ::unlink(servidor.Controle.c_str());
}

int ExecutaServidor(int argc, char** argv)
{
    std::string link, controle, bicos = "04,05,44,45";
    double intervaloAuto = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string opcao = argv[i];
        if (i + 1 >= argc)
            return Uso();
        const std::string valor = argv[++i];
        if (opcao == "--link")
            link = valor;
        else if (opcao == "--controle")
            controle = valor;
        else if (opcao == "--bicos")
            bicos = valor;
        else if (opcao == "--auto") {
            const auto lido = LeDecimal(valor);
            if (!lido || *lido < 0)
                return Uso();
            intervaloAuto = *lido;
        } else
            return Uso();
    }
    const auto codigos = LeBicos(bicos);
    if (link.empty() || controle.empty() || !codigos)
        return Uso();

    int sinal[2];
    if (::pipe2(sinal, O_CLOEXEC | O_NONBLOCK) != 0)
        return 1;
    gSinalEscrita = sinal[1];
    struct sigaction acao{};
    acao.sa_handler = AoSinal;
    ::sigemptyset(&acao.sa_mask);
    ::sigaction(SIGTERM, &acao, nullptr);
    ::sigaction(SIGINT, &acao, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    TServidor servidor(*codigos);
    servidor.Link = link;
    servidor.Controle = controle;
    const bool pronto = CriaTerminal(servidor) && CriaControle(servidor);
    int saida = 1;
    if (pronto) {
        saida = 0;
        std::printf("concentrador-sim: linha em %s, controle em %s\n", link.c_str(), controle.c_str());
        std::fflush(stdout);
        const long long passoAuto = static_cast<long long>(intervaloAuto * 1000.0);
        long long proximoAuto = passoAuto > 0 ? AgoraMs() + passoAuto : -1;
        for (;;) {
            long long limite = proximoAuto;
            for (const auto& envio : servidor.Atrasados)
                limite = limite < 0 ? envio.Instante : std::min(limite, envio.Instante);
            const int espera = limite < 0 ? -1 : static_cast<int>(std::max(0LL, limite - AgoraMs()));
            pollfd vigiados[3] = {{servidor.Mestre, POLLIN, 0}, {servidor.Escuta, POLLIN, 0}, {sinal[0], POLLIN, 0}};
            const int n = ::poll(vigiados, 3, espera);
            if (n < 0 && errno != EINTR)
                break;
            if (n > 0 && (vigiados[2].revents & POLLIN))
                break;
            if (n > 0 && (vigiados[0].revents & POLLIN))
                servidor.AtendeLinha();
            if (n > 0 && (vigiados[1].revents & POLLIN))
                servidor.AtendeControle();
            servidor.EnviaAtrasados();
            if (proximoAuto >= 0 && AgoraMs() >= proximoAuto) {
                servidor.Dispositivo.AbastecimentoAutomatico(servidor.Gerador);
                proximoAuto = AgoraMs() + passoAuto;
            }
        }
    }
    RemoveCriados(servidor);
    return saida;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::string(argv[1]) == "ctl")
        return ExecutaCtl(argc, argv);
    return ExecutaServidor(argc, argv);
}
