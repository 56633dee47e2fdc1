// The poll tick at rest and the pump status refresh, on a 32-position station (128 nozzle codes):
// - an idle tick with the status monitor on and no letter changed, against the same tick with the
//   monitor off (and against that tick plus the status exchange, the monitor's floor): time and
//   bytes written, through the CompanyTec driver, our library and the simulated concentrator on a
//   pseudo-terminal;
// - a refresh in which one position's letter changed, against the same 128 updates each committed
//   by itself.
#include "Bancada.h"

#include "Aplicacao.h"
#include "PostoTeste.h"
#include "SimuladorTeste.h"

#include <QThread>

using namespace Bancada;

namespace {

// One nozzle for every code of positions 1 to 32 on the four channels.
void PreparaBombas(TPostoTeste& posto)
{
    posto.Executa(QStringLiteral("Delete From Bombas"));
    for (int p = 1; p <= 32; ++p)
        for (int k = 0; k < 4; ++k)
            posto.Executa(QStringLiteral("Insert Into Bombas (CodBico, Descricao, CodTanque, CodConcentrador, statusbico) "
                                         "Values ('B%1', 'x', '3', '%1', 'L')")
                              .arg(p + 3 + 64 * k, 3, 10, QChar('0')));
}

void DefineMonitor(TPostoTeste& posto, bool ligado)
{
    posto.Executa(QStringLiteral("Update ParaPosto Set visualizastatusbomba = '%1'").arg(ligado ? 'S' : 'N'));
    posto.Motor->Parametros().Abre();
}

} // namespace

int main(int argc, char** argv)
try {
    TAplicacao aplicacao(argc, argv);
    const int repeticoes = Repeticoes(11);

    // Figure 4: idle ticks through the real driver and the simulated concentrator.
    {
        TCompanyTec::DefineArquivoBiblioteca(Executavel(QStringLiteral("libCompanytec.so")));
        TPostoTeste posto;
        TSimuladorTeste simulador;
        if (!simulador.IniciaSimuladorNaPasta(posto.Pasta.path()))
            throw EErro(QStringLiteral("concentrador-sim did not come up"));
        qputenv("COMPANYTEC_PORTA1", QFile::encodeName(simulador.Link));
        PreparaBombas(posto);
        posto.DriverReal = true;
        TCicloLeitura& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.DefineIntervaloLeitura(3600 * 1000); // never fires by itself: the benchmark ticks
        ciclo.ParaLeitura();
        const int porBloco = 200;
        DefineMonitor(posto, true);
        MedeBloco(porBloco, [&](int) { ciclo.LeConcentradorTimer(); }); // the letters as the concentrator has them
        TComparacao comparacao, chao;
        TConcentrador& concentrador = *posto.Contexto->Concentrador();
        // After each switch a few ticks go unmeasured: the switch's own commit (on another
        // attachment) reaches the disk meanwhile, not inside the block.
        const auto comuta = [&](bool ligado) {
            DefineMonitor(posto, ligado);
            for (int i = 0; i < 20; ++i)
                ciclo.LeConcentradorTimer();
            QThread::msleep(50);
        };
        for (int r = 0; r < repeticoes; ++r) {
            comuta(true);
            const TBloco ligado = MedeBloco(porBloco, [&](int) { ciclo.LeConcentradorTimer(); });
            comuta(false);
            const TBloco desligado = MedeBloco(porBloco, [&](int) { ciclo.LeConcentradorTimer(); });
            // The monitor's floor: the same tick and the status exchange the monitor exists for.
            const TBloco comStatus = MedeBloco(porBloco, [&](int) {
                ciclo.LeConcentradorTimer();
                concentrador.GetLeStatus();
            });
            comparacao.Acrescenta(ligado, desligado);
            chao.Acrescenta(ligado, comStatus);
        }
        const double razao = comparacao.MedianaMs() / comparacao.MedianaMsBase();
        Linha("4", "Idle tick, status monitor on, no letter changed: time", Ms(comparacao.MedianaMs()),
              Ms(comparacao.MedianaMsBase()) + " monitor off", Razao(comparacao.MedianaMs(), comparacao.MedianaMsBase()),
              "<= 2x", razao <= 2);
        Linha("4", "The same tick against its floor", Ms(chao.MedianaMs()),
              Ms(chao.MedianaMsBase()) + " monitor off plus the status exchange",
              Razao(chao.MedianaMs(), chao.MedianaMsBase()), "report", true);
        const double extra = comparacao.MedianaBytes() - comparacao.MedianaBytesBase();
        Linha("4", "Idle tick, status monitor on, no letter changed: bytes written",
              QString::number(comparacao.MedianaBytes(), 'f', 0) + " B",
              QString::number(comparacao.MedianaBytesBase(), 'f', 0) + " B monitor off",
              QStringLiteral("%1 B more").arg(extra, 0, 'f', 0), "0 B more", extra <= 0);
        posto.Motor->Finaliza();
        simulador.Simulador.terminate();
        simulador.Simulador.waitForFinished(5000);
    }

    // Figure 5: one position's letter changes in every refresh.
    {
        TPostoTeste posto;
        PreparaBombas(posto);
        TCicloLeitura& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        TConsulta umaPorUma(&posto.Contexto->CnTankora());
        umaPorUma.DefineSQL(QStringLiteral(
            "UPDATE BOMBAS SET BOMBAS.statusbico = :PStatusBico Where BOMBAS.codconcentrador = :PCodConcentrador"));
        int vez = 0;
        const auto muda = [&] {
            QString status(32, 'L');
            status[vez % 32] = vez % 2 ? QChar('B') : QChar('A');
            ++vez;
            posto.Falso->Status = status;
        };
        TComparacao comparacao;
        for (int r = 0; r < repeticoes; ++r) {
            const TBloco tique = MedeBloco(10, [&](int) {
                muda();
                ciclo.AtualizaStatusBicos();
            });
            const TBloco base = MedeBloco(1, [&](int) {
                for (int p = 1; p <= 32; ++p)
                    for (const QString& codigo : TCicloLeitura::MontaCanais(QString::number(p + 3).rightJustified(3, '0'))) {
                        umaPorUma.DefineTexto(QStringLiteral("PStatusBico"), p == 1 ? QStringLiteral("B") : QStringLiteral("L"));
                        umaPorUma.DefineTexto(QStringLiteral("PCodConcentrador"), codigo);
                        umaPorUma.Executa();
                    }
            });
            comparacao.Acrescenta(tique, base);
        }
        const double razao = comparacao.MedianaMs() / comparacao.MedianaMsBase();
        Linha("5", "Status refresh, one letter changed, 32 positions", Ms(comparacao.MedianaMs()),
              Ms(comparacao.MedianaMsBase()) + " 128 updates each committed",
              Razao(comparacao.MedianaMs(), comparacao.MedianaMsBase()), "<= 0.1x", razao <= 0.1);
        Nota(QStringLiteral("Figure 5 bytes: %1 per refresh, %2 for the 128 committed updates")
                 .arg(Kb(comparacao.MedianaBytes()), Kb(comparacao.MedianaBytesBase())));
    }
    return 0;
} catch (const std::exception& e) {
    Nota(QStringLiteral("bench_tique failed: ") + MensagemDe(e));
    return 1;
}
