// Resident memory of the engine driven directly: after start-up, after 10,000 fuelings and after
// 100,000 idle ticks (status monitor on). Run twice, each in a process of its own so neither
// inherits the other's heap: with the window (the fueling log pane grows by one line per fueling)
// and the engine alone. The difference between the two growths is the pane.
#include "Abastecimentos.h"
#include "Bancada.h"
#include "Janela.h"

#include "Aplicacao.h"
#include "MenuPrin.h"

#include <QPlainTextEdit>
#include <QProcess>

using namespace Bancada;

namespace {

struct TMemoria {
    double Inicio = 0, Abastecimentos = 0, Tiques = 0, TextoPainel = 0; // KiB
};

TMemoria Mede(bool comJanela, int abastecimentos, int tiques)
{
    TMemoria m;
    TPostoTeste posto;
    TLinkor& motor = posto.CriaMotor();
    std::unique_ptr<TMenuPrin> janela;
    // With the window the engine runs on its own thread: the work goes there as one job.
    const auto noMotor = [&](auto&& trabalho) {
        if (janela)
            NoMotor(*janela, trabalho);
        else
            trabalho(motor);
    };
    if (comJanela) {
        janela = std::make_unique<TMenuPrin>(motor);
        janela->show();
        EsperaPartida(*janela);
    } else {
        motor.Inicia();
    }
    noMotor([&](TLinkor& linkor) {
        linkor.Ciclo().DefineIntervaloLeitura(3600 * 1000);
        linkor.Ciclo().ParaLeitura();
        posto.Falso->Status = QStringLiteral("LLLLLLLL");
    });
    QCoreApplication::sendPostedEvents();
    m.Inicio = static_cast<double>(MemoriaResidenteKb());
    noMotor([&](TLinkor& linkor) {
        for (int i = 0; i < abastecimentos; ++i) {
            posto.Falso->Fila << Plano(Gera(QDate(2025, 1, 1), i));
            linkor.Ciclo().LeConcentradorTimer();
        }
    });
    QCoreApplication::sendPostedEvents();
    m.Abastecimentos = static_cast<double>(MemoriaResidenteKb());
    noMotor([&](TLinkor& linkor) {
        for (int i = 0; i < tiques; ++i)
            linkor.Ciclo().LeConcentradorTimer();
    });
    QCoreApplication::sendPostedEvents();
    m.Tiques = static_cast<double>(MemoriaResidenteKb());
    if (janela)
        m.TextoPainel = janela->VisualizaLog->document()->characterCount() * 2 / 1024.0;
    return m;
}

} // namespace

int main(int argc, char** argv)
try {
    TAplicacao aplicacao(argc, argv);
    const int abastecimentos = Escala(10000);
    const int tiques = Escala(100000);
    const QStringList argumentos = QCoreApplication::arguments();
    if (argumentos.size() == 3 && argumentos[1] == QLatin1String("--parte")) {
        const TMemoria m = Mede(argumentos[2] == QLatin1String("janela"), abastecimentos, tiques);
        std::printf("MEDIDA %.0f %.0f %.0f %.0f\n", m.Inicio, m.Abastecimentos, m.Tiques, m.TextoPainel);
        return 0;
    }
    const auto parte = [&](const QString& qual) {
        QProcess processo;
        processo.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--parte"), qual});
        if (!processo.waitForFinished(3600 * 1000) || processo.exitCode() != 0)
            throw EErro(QStringLiteral("part %1 failed: %2").arg(qual, QString::fromUtf8(processo.readAll())));
        for (const QByteArray& linha : processo.readAllStandardOutput().split('\n'))
            if (linha.startsWith("MEDIDA ")) {
                const QList<QByteArray> v = linha.mid(7).split(' ');
                return TMemoria{v[0].toDouble(), v[1].toDouble(), v[2].toDouble(), v[3].toDouble()};
            }
        throw EErro(QStringLiteral("part %1 gave no figure").arg(qual));
    };
    const TMemoria janela = parte(QStringLiteral("janela"));
    const TMemoria motor = parte(QStringLiteral("motor"));
    const auto mib = [](double kb) { return QString::number(kb / 1024.0, 'f', 1) + QStringLiteral(" MiB"); };
    const double porAbastecimentoJanela = (janela.Abastecimentos - janela.Inicio) / abastecimentos;
    const double porAbastecimentoMotor = (motor.Abastecimentos - motor.Inicio) / abastecimentos;
    // The engine keeps nothing per fueling; what it grows by is the database engine's page cache
    // filling as MvAbast grows, which the cache's size bounds (2048 pages of 8 KiB by default).
    const double limiteCacheKb = 2048 * 8;
    const bool motorLimitado = motor.Abastecimentos - motor.Inicio <= limiteCacheKb;
    Linha("7", QStringLiteral("Resident memory after %L1 fuelings, engine alone").arg(abastecimentos),
          mib(motor.Abastecimentos), mib(motor.Inicio) + " after start-up",
          QStringLiteral("+%1 KiB/fueling").arg(porAbastecimentoMotor, 0, 'f', 2),
          "only the database page cache (<= 16 MiB)", motorLimitado);
    Linha("7", QStringLiteral("Resident memory after %L1 fuelings, window").arg(abastecimentos), mib(janela.Abastecimentos),
          mib(janela.Inicio) + " after start-up",
          QStringLiteral("+%1 KiB/fueling, %2 more than the engine alone")
              .arg(porAbastecimentoJanela, 0, 'f', 2)
              .arg(porAbastecimentoJanela - porAbastecimentoMotor, 0, 'f', 2),
          "the rest is the log pane", motorLimitado);
    const double porMilTiques = (janela.Tiques - janela.Abastecimentos) / (tiques / 1000.0);
    Linha("7", QStringLiteral("Resident memory after %L1 more idle ticks, window").arg(tiques), mib(janela.Tiques),
          mib(janela.Abastecimentos) + " before them", QStringLiteral("%1 KiB/1000 ticks").arg(porMilTiques, 0, 'f', 2),
          "flat", porMilTiques <= 1);
    Nota(QStringLiteral("Figure 7: the log pane holds %1 of text (%2 B a line as UTF-16); the rest of the window's "
                        "growth per line is the text document's own bookkeeping.")
             .arg(QString::number(janela.TextoPainel / 1024.0, 'f', 1) + QStringLiteral(" MiB"))
             .arg(janela.TextoPainel * 1024 / abastecimentos, 0, 'f', 0));
    return 0;
} catch (const std::exception& e) {
    Nota(QStringLiteral("bench_memoria failed: ") + MensagemDe(e));
    return 1;
}
