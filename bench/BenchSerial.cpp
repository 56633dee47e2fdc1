// One LeAbastecimento round trip through our concentrator library and the simulated concentrator
// on a pseudo-terminal, against an empty framed round trip on a pseudo-terminal (a peer that
// answers every frame at once with an empty answer), and the time the same bytes take on the
// wire at the port's configured 9600 baud.
#include "Bancada.h"

#include "Erro.h"
#include "Porta.h"
#include "Protocolo.h"
#include "SimuladorTeste.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace Bancada;
using namespace Protocolo;

namespace {

constexpr double kBaud = 9600;
// 8N1: ten bits on the wire for every byte.
double MsNoFio(std::size_t bytes)
{
    return static_cast<double>(bytes) * 10.0 / kBaud * 1000.0;
}

// A peer on the master side of a new pseudo-terminal answering every frame with an empty answer.
// Returns the slave's path; the peer runs until killed.
std::string IniciaEco(pid_t& filho)
{
    const int mestre = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (mestre < 0 || ::grantpt(mestre) != 0 || ::unlockpt(mestre) != 0)
        throw EErro(QStringLiteral("no pseudo-terminal"));
    const std::string escravo = ::ptsname(mestre);
    // Our own handle on the slave, in raw mode, as the simulator holds one.
    const int proprio = ::open(escravo.c_str(), O_RDWR | O_NOCTTY);
    termios modo{};
    ::tcgetattr(proprio, &modo);
    ::cfmakeraw(&modo);
    ::tcsetattr(proprio, TCSANOW, &modo);
    ::fcntl(mestre, F_SETFL, ::fcntl(mestre, F_GETFL) | O_NONBLOCK);
    filho = ::fork();
    if (filho == 0) {
        TLeitorQuadros leitor;
        std::uint8_t bytes[512];
        for (;;) {
            pollfd espera{mestre, POLLIN, 0};
            if (::poll(&espera, 1, -1) < 0 && errno != EINTR)
                ::_exit(0);
            const ssize_t n = ::read(mestre, bytes, sizeof bytes);
            if (n <= 0)
                continue;
            leitor.Acrescenta(bytes, static_cast<std::size_t>(n));
            while (auto quadro = leitor.ExtraiQuadro()) {
                const TBytes resposta = MontaQuadro({quadro->Numero, static_cast<std::uint8_t>(quadro->Comando | Resposta), {}});
                [[maybe_unused]] const auto escrito = ::write(mestre, resposta.data(), resposta.size());
            }
        }
    }
    return escravo;
}

} // namespace

int main(int argc, char** argv)
try {
    pid_t eco = 0;
    const std::string escravo = IniciaEco(eco); // before any thread exists
    QCoreApplication aplicacao(argc, argv);
    const int repeticoes = Repeticoes(11);
    const int porBloco = 500;

    TPorta porta;
    if (!porta.Abre(escravo))
        throw EErro(QStringLiteral("could not open %1").arg(QString::fromStdString(escravo)));

    QTemporaryDir pasta;
    TSimuladorTeste simulador;
    if (!simulador.IniciaSimuladorNaPasta(pasta.path()))
        throw EErro(QStringLiteral("concentrador-sim did not come up"));
    qputenv("COMPANYTEC_PORTA1", QFile::encodeName(simulador.Link));
    QLibrary biblioteca(Executavel(QStringLiteral("libCompanytec.so")));
    using TInicializa = std::int32_t (*)(std::int32_t);
    using TLe = std::int32_t (*)(void*);
    auto inicializa = reinterpret_cast<TInicializa>(biblioteca.resolve("InicializaSerial"));
    auto le = reinterpret_cast<TLe>(biblioteca.resolve("LeAbastecimento"));
    if (!inicializa || !le || inicializa(1) == 0)
        throw EErro(QStringLiteral("the library did not open the simulator's port"));
    std::uint8_t registro[TamanhoRegistroPlano];

    const TBytes pedido = TEscritor().Natural32(0).Bytes();
    TComparacao comparacao;
    for (int r = 0; r < repeticoes; ++r) {
        const TBloco biblio = MedeBloco(porBloco, [&](int) { le(registro); });
        const TBloco vazio = MedeBloco(porBloco, [&](int) {
            if (!porta.Troca(CmdLeAbastecimento, pedido, 800))
                throw EErro(QStringLiteral("no echo"));
        });
        comparacao.Acrescenta(biblio, vazio);
    }
    const std::size_t bytesPedido = MontaQuadro({1, CmdLeAbastecimento, pedido}).size();
    const std::size_t bytesSemAbastecimento = MontaQuadro({1, CmdLeAbastecimento | Resposta, {0}}).size();
    TEscritor comAbastecimento;
    comAbastecimento.Byte(1);
    TDadosAbastecimento exemplo{1, 169, "44", 25.437, 1500500, 58990, "09/12/2025", "14:03:27", 254001.75, ""};
    CodificaAbastecimento(comAbastecimento, exemplo);
    const std::size_t bytesComAbastecimento = MontaQuadro({1, CmdLeAbastecimento | Resposta, comAbastecimento.Bytes()}).size();
    const std::size_t bytesStatus = MontaQuadro({1, CmdLeStatus, {}}).size() + MontaQuadro({1, CmdLeStatus | Resposta, TBytes(48)}).size();
    Linha("8", "LeAbastecimento round trip, library + simulator on a pty", Ms(comparacao.MedianaMs()),
          Ms(comparacao.MedianaMsBase()) + " empty framed round trip", Razao(comparacao.MedianaMs(), comparacao.MedianaMsBase()),
          "report", true);
    Linha("8", "The same exchange on the wire at 9600 baud (8N1)",
          Ms(MsNoFio(bytesPedido + bytesSemAbastecimento)) + QStringLiteral(" none waiting, ")
              + Ms(MsNoFio(bytesPedido + bytesComAbastecimento)) + QStringLiteral(" with a fueling"),
          QStringLiteral("%1 + %2 / %3 B").arg(bytesPedido).arg(bytesSemAbastecimento).arg(bytesComAbastecimento),
          QStringLiteral("%1x the pty").arg(MsNoFio(bytesPedido + bytesSemAbastecimento) / comparacao.MedianaMs(), 0, 'f', 0),
          "report", true);
    Nota(QStringLiteral("Figure 8: an idle tick with the status monitor on adds the status exchange, %1 B, %2 on the "
                        "wire: the line, not the database, sets an idle tick's length on a real station.")
             .arg(bytesStatus)
             .arg(Ms(MsNoFio(bytesStatus))));
    simulador.Simulador.terminate();
    simulador.Simulador.waitForFinished(5000);
    ::kill(eco, SIGTERM);
    ::waitpid(eco, nullptr, 0);
    return 0;
} catch (const std::exception& e) {
    Nota(QStringLiteral("bench_serial failed: ") + MensagemDe(e));
    return 1;
}
