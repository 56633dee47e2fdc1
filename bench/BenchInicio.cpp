// Start-up to the first tick (window, database, driver, the day's log reloaded into the pane),
// with a day log of 10,000 lines against none. Each start-up on a fresh station.
#include "Bancada.h"
#include "Janela.h"

#include "Aplicacao.h"
#include "MenuPrin.h"
#include "PostoTeste.h"

#include <QPlainTextEdit>

using namespace Bancada;

namespace {

double InicioAtePrimeiroTique(int linhasLog)
{
    TPostoTeste posto;
    if (linhasLog > 0) {
        QByteArray log;
        for (int i = 0; i < linhasLog; ++i)
            log += QStringLiteral(" 09/12/2025   %1   00012      25,437       5,899     150,05   001  %2   068\r\n")
                       .arg(QTime(0, 0).addSecs(i * 8).toString(QStringLiteral("hh:mm:ss")))
                       .arg(i % 10000, 4, 10, QChar('0'))
                       .toUtf8();
        posto.EscreveArquivo(QStringLiteral("LogLinkor09122025"), log);
    }
    TLinkor& motor = posto.CriaMotor();
    QElapsedTimer relogio;
    relogio.start();
    TMenuPrin janela(motor);
    janela.show();
    EsperaPartida(janela);
    NoMotor(janela, [](TLinkor& linkor) { linkor.Ciclo().LeConcentradorTimer(); });
    const double ms = static_cast<double>(relogio.nsecsElapsed()) / 1e6;
    NoMotor(janela, [](TLinkor& linkor) { linkor.Ciclo().ParaLeitura(); });
    if (linhasLog > 0 && janela.VisualizaLog->document()->blockCount() != linhasLog)
        throw EErro(QStringLiteral("the day's log was not reloaded"));
    return ms;
}

} // namespace

int main(int argc, char** argv)
try {
    TAplicacao aplicacao(argc, argv);
    const int repeticoes = Repeticoes(11);
    const int linhas = Escala(10000);
    InicioAtePrimeiroTique(0); // warm-up: the database engine and the window system loaded once
    QVector<double> comLog, semLog, diferencas;
    for (int r = 0; r < repeticoes; ++r) {
        const double com = InicioAtePrimeiroTique(linhas);
        const double sem = InicioAtePrimeiroTique(0);
        comLog << com;
        semLog << sem;
        diferencas << com - sem;
    }
    const double acrescimo = Mediana(diferencas);
    Linha("6", QStringLiteral("Start-up to the first tick, day log of %L1 lines").arg(linhas), Ms(Mediana(comLog)),
          Ms(Mediana(semLog)) + " no day log", QStringLiteral("+%1").arg(Ms(acrescimo)), "reload adds < 50 ms",
          acrescimo < 50);
    return 0;
} catch (const std::exception& e) {
    Nota(QStringLiteral("bench_inicio failed: ") + MensagemDe(e));
    return 1;
}
