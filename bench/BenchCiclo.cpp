// Poll-tick costs, each as a ratio against a baseline measured in the same run:
// - the pump status refresh of a full 32-position station (128 updates) in one transaction,
//   against the same updates committed one by one;
// - adding fueling lines to a log pane that already holds a busy day, against an empty pane.
#include "Aplicacao.h"
#include "MenuPrin.h"
#include "PostoTeste.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>

namespace {

template <typename F>
double Mede(int repeticoes, F&& trabalho)
{
    QElapsedTimer relogio;
    relogio.start();
    for (int i = 0; i < repeticoes; ++i)
        trabalho();
    return static_cast<double>(relogio.nsecsElapsed()) / repeticoes / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    TAplicacao aplicacao(argc, argv);
    TPostoTeste posto;
    posto.Executa("Delete From Bombas");
    for (int p = 1; p <= 32; ++p)
        for (int k = 0; k < 4; ++k)
            posto.Executa(QString("Insert Into Bombas (CodBico, Descricao, CodConcentrador) Values ('B%1', 'x', '%1')")
                              .arg(p + 3 + 64 * k, 3, 10, QChar('0')));
    TMenuPrin janela(posto.CriaMotor());
    TCicloLeitura& ciclo = posto.Ciclo();
    ciclo.ParaLeitura();
    posto.Falso->Status = QString(32, 'L');

    constexpr int kRepeticoes = 20;
    const double umaTransacao = Mede(kRepeticoes, [&] { ciclo.AtualizaStatusBicos(); });
    TConsulta atualiza(&posto.Contexto->CnTankora());
    atualiza.DefineSQL("UPDATE BOMBAS SET BOMBAS.statusbico = :PStatusBico Where BOMBAS.codconcentrador = :PCodConcentrador");
    const double umaPorUma = Mede(kRepeticoes, [&] {
        for (int p = 1; p <= 32; ++p)
            for (const QString& codigo : TCicloLeitura::MontaCanais(QString::number(p + 3).rightJustified(3, '0'))) {
                atualiza.DefineTexto("PStatusBico", "L");
                atualiza.DefineTexto("PCodConcentrador", codigo);
                atualiza.Executa();
            }
    });
    std::printf("status de 32 posicoes: %.2f ms por tique; um commit por update: %.2f ms; razao %.1fx\n",
                umaTransacao, umaPorUma, umaPorUma / umaTransacao);

    const auto linhas = [&](int n) {
        for (int i = 0; i < n; ++i)
            ciclo.EscreveLinhaLog("09/12/2025", "14:03:27", "00012", 25.437, 150.05, 5.899, "2", QString::number(i), "041");
    };
    const double vazio = Mede(1, [&] { linhas(200); });
    janela.VisualizaLog->clear();
    linhas(5000);
    const double cheio = Mede(1, [&] { linhas(200); });
    std::printf("200 linhas de log: painel vazio %.1f ms; painel com 5000 linhas %.1f ms; razao %.2fx\n", vazio,
                cheio, cheio / vazio);
    return 0;
}
