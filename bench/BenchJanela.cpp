// Figure 8: the window's event loop while the engine works or waits. A timer on the window's thread
// measures its own lateness; the figure is the longest stall seen during
// (a) fuelings arriving one per tick, (b) status refreshes over a line paced like 9600 baud (each
// tick's exchanges take the 80 ms they take on such a line, and every refresh writes a letter),
// (c) a database server frozen (SIGSTOP) for 6 s with a fueling on its way, (d) a silent link (the
// real driver and library against the simulated concentrator in its "silencio" mode).
// And "&Sair" to process exit while the database hangs: the real program, its server frozen, stopped
// by SIGTERM (the same close path as "&Sair"), timed to its exit.
// The baseline is the probe's own lateness with the engine idle, in the same run.
#include "Abastecimentos.h"
#include "Bancada.h"
#include "Janela.h"

#include "Aplicacao.h"
#include "PostoTeste.h"
#include "ServidorFirebird.h"
#include "SimuladorTeste.h"

#include <QPlainTextEdit>

#include <csignal>
#include <thread>

using namespace Bancada;

namespace {

constexpr int kPassoSondaMs = 5;

// The longest lateness (ms) of a 5 ms timer on this thread while `enquanto` says to go on.
template <typename F>
double MaiorParada(F&& enquanto)
{
    QEventLoop laco;
    QTimer sonda;
    QElapsedTimer relogio;
    double maior = 0;
    qint64 anterior = 0;
    relogio.start();
    QObject::connect(&sonda, &QTimer::timeout, &laco, [&] {
        const qint64 agora = relogio.nsecsElapsed();
        maior = std::max(maior, static_cast<double>(agora - anterior) / 1e6 - kPassoSondaMs);
        anterior = agora;
        if (!enquanto(relogio.elapsed()))
            laco.quit();
    });
    sonda.setTimerType(Qt::PreciseTimer);
    sonda.start(kPassoSondaMs);
    laco.exec();
    return maior;
}

double ParadaPorTempo(int ms)
{
    return MaiorParada([ms](qint64 decorrido) { return decorrido < ms; });
}

struct TCenario {
    TPostoTeste Posto;
    std::unique_ptr<TMenuPrin> Janela;
    void Abre()
    {
        Janela = std::make_unique<TMenuPrin>(Posto.CriaMotor());
        Janela->show();
        EsperaPartida(*Janela);
    }
    int LinhasNoPainel() const
    {
        return Janela->VisualizaLog->document()->isEmpty() ? 0 : Janela->VisualizaLog->document()->blockCount();
    }
};

double Abastecimentos(int n)
{
    TCenario c;
    c.Posto.Executa(QStringLiteral("Update ParaPosto Set visualizastatusbomba = 'N'"));
    c.Abre();
    NoMotor(*c.Janela, [&](TLinkor& linkor) {
        for (int i = 0; i < n; ++i)
            c.Posto.Falso->Fila << Plano(Gera(QDate(2025, 12, 9), i));
        linkor.Ciclo().DefineIntervaloLeitura(10);
    });
    const double parada = MaiorParada([&](qint64 decorrido) { return c.LinhasNoPainel() < n && decorrido < 120000; });
    if (c.LinhasNoPainel() < n)
        throw EErro(QStringLiteral("the fuelings were not stored"));
    return parada;
}

double StatusEm9600Baud()
{
    TCenario c;
    c.Posto.Executa(QStringLiteral("Update ParaPosto Set visualizastatusbomba = 'S'"));
    c.Abre();
    int vez = 0;
    NoMotor(*c.Janela, [&](TLinkor& linkor) {
        c.Posto.Falso->AoLer = [&] {
            // The fueling read and the status read of an idle tick at 9600 baud; a letter changes.
            std::this_thread::sleep_for(std::chrono::milliseconds(80));
            c.Posto.Falso->Status = (++vez % 2) ? QStringLiteral("LLLLLLLL") : QStringLiteral("ALLLLLLL");
        };
        linkor.Ciclo().DefineIntervaloLeitura(20);
    });
    return ParadaPorTempo(3000);
}

double BancoCongelado()
{
    TServidorFirebird servidor;
    TCenario c;
    if (!servidor.Inicia())
        throw EErro(servidor.Motivo());
    c.Posto.EscreveArquivo(QStringLiteral("Caminho.ini"),
                           ("[DATABASEESTOQUE]\r\nCAMINHO=" + servidor.Endereco(c.Posto.Banco) + "\r\nUSUARIO=SYSDBA\r\nSENHA="
                            + servidor.Senha() + "\r\n")
                               .toUtf8());
    c.Abre();
    NoMotor(*c.Janela, [&](TLinkor& linkor) { linkor.Ciclo().DefineIntervaloLeitura(100); });
    const auto pid = static_cast<pid_t>(servidor.Pid());
    std::thread congela([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ::kill(pid, SIGSTOP);
        std::this_thread::sleep_for(std::chrono::milliseconds(6000));
        ::kill(pid, SIGCONT);
    });
    // The fueling comes once the server is frozen: storing it is what hangs.
    double parada = ParadaPorTempo(1000);
    NoMotor(*c.Janela, [&](TLinkor&) { c.Posto.Falso->Fila << Plano(Gera(QDate(2025, 12, 9), 1)); });
    parada = std::max(parada, ParadaPorTempo(6500));
    congela.join();
    parada = std::max(parada, MaiorParada([&](qint64 decorrido) { return c.LinhasNoPainel() < 1 && decorrido < 20000; }));
    if (c.LinhasNoPainel() != 1)
        throw EErro(QStringLiteral("the fueling was not stored once the server went on"));
    return parada;
}

double LinkMudo()
{
    TSimuladorTeste simulador;
    TCenario c;
    if (!simulador.IniciaSimuladorNaPasta(c.Posto.Pasta.path()))
        throw EErro(QStringLiteral("concentrador-sim did not come up"));
    qputenv("COMPANYTEC_PORTA1", QFile::encodeName(simulador.Link));
    c.Posto.DriverReal = true;
    c.Abre();
    NoMotor(*c.Janela, [&](TLinkor& linkor) { linkor.Ciclo().DefineIntervaloLeitura(100); });
    simulador.Ctl({QStringLiteral("falha"), QStringLiteral("modo=silencio")});
    const double parada = ParadaPorTempo(4000);
    c.Janela.reset();
    simulador.Simulador.terminate();
    simulador.Simulador.waitForFinished(5000);
    return parada;
}

// Milliseconds from SIGTERM to the end of the real program with its database server frozen; -1
// when it did not end within 20 s.
double SairComBancoCongelado()
{
    QTemporaryDir pasta;
    TServidorFirebird servidor;
    TSimuladorTeste simulador;
    if (!servidor.Inicia())
        throw EErro(servidor.Motivo());
    const QString programa = CopiaPrograma(pasta.path());
    if (programa.isEmpty() || !simulador.IniciaSimuladorNaPasta(pasta.path()))
        throw EErro(QStringLiteral("the program or the simulator could not be prepared"));
    const QString banco = pasta.filePath(QStringLiteral("POSTO.FDB"));
    CriaBancoPosto(banco, true);
    QFile ini(pasta.filePath(QStringLiteral("Caminho.ini")));
    if (!ini.open(QIODevice::WriteOnly))
        throw EErro(QStringLiteral("Caminho.ini"));
    ini.write(("[DATABASEESTOQUE]\r\nCAMINHO=" + servidor.Endereco(banco) + "\r\nUSUARIO=SYSDBA\r\nSENHA="
               + servidor.Senha() + "\r\n")
                  .toUtf8());
    ini.close();
    QProcess linkor;
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert(QStringLiteral("COMPANYTEC_PORTA1"), simulador.Link);
    linkor.setProcessEnvironment(ambiente);
    linkor.setWorkingDirectory(pasta.path());
    linkor.start(programa, {});
    if (!linkor.waitForStarted(5000))
        throw EErro(QStringLiteral("linkor did not start"));
    simulador.Ctl({QStringLiteral("abastece"), QStringLiteral("bico=04"), QStringLiteral("litros=10"),
                   QStringLiteral("preco=5.899")});
    QElapsedTimer espera;
    espera.start();
    while (simulador.Estado(QStringLiteral("pendentes")) != QLatin1String("0") && espera.elapsed() < 30000)
        QThread::msleep(100);
    const auto pid = static_cast<pid_t>(servidor.Pid());
    ::kill(pid, SIGSTOP);
    simulador.Ctl({QStringLiteral("abastece"), QStringLiteral("bico=04"), QStringLiteral("litros=12"),
                   QStringLiteral("preco=5.899")});
    QThread::msleep(3000);
    QElapsedTimer relogio;
    relogio.start();
    ::kill(static_cast<pid_t>(linkor.processId()), SIGTERM);
    const bool terminou = linkor.waitForFinished(20000);
    const double ms = static_cast<double>(relogio.nsecsElapsed()) / 1e6;
    ::kill(pid, SIGCONT);
    if (!terminou) {
        linkor.kill();
        linkor.waitForFinished(5000);
    }
    simulador.Simulador.terminate();
    simulador.Simulador.waitForFinished(5000);
    return terminou ? ms : -1;
}

} // namespace

int main(int argc, char** argv)
try {
    TAplicacao aplicacao(argc, argv);
    TCompanyTec::DefineArquivoBiblioteca(Executavel(QStringLiteral("libCompanytec.so")));
    const int repeticoes = std::max(1, Repeticoes(3) / 3); // each case takes seconds
    const double base = [] {
        TCenario c;
        c.Abre();
        NoMotor(*c.Janela, [](TLinkor& linkor) { linkor.Ciclo().ParaLeitura(); });
        return ParadaPorTempo(2000);
    }();
    const auto linha = [&](const char* caso, const std::function<double()>& mede) {
        QVector<double> paradas;
        for (int r = 0; r < repeticoes; ++r)
            paradas << mede();
        const double parada = Mediana(paradas);
        Linha("8", QStringLiteral("Longest stall of the window's event loop: %1").arg(QLatin1String(caso)), Ms(parada),
              Ms(base) + " engine idle", Razao(parada, base), "<= 50 ms", parada <= 50);
    };
    linha("(a) fuelings arriving", [] { return Abastecimentos(Escala(200)); });
    linha("(b) status refresh, line paced like 9600 baud", [] { return StatusEm9600Baud(); });
    linha("(c) database server frozen 6 s", [] { return BancoCongelado(); });
    linha("(d) silent link", [] { return LinkMudo(); });
    const double sair = SairComBancoCongelado();
    Linha("8", "SIGTERM (the close path of \"&Sair\") to process exit, database frozen",
          sair < 0 ? QStringLiteral("> 20 s") : Ms(sair), "-", "-", "<= 3 s", sair >= 0 && sair <= 3000);
    return 0;
} catch (const std::exception& e) {
    Nota(QStringLiteral("bench_janela failed: ") + MensagemDe(e));
    return 1;
}
