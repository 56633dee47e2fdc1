// The engine's road through the journal, tick by tick:
//  10. one fueling read from the driver, appended to the journal and committed, forwarded to MvAbast
//      and committed, marked stored, its log line written; against its floor, one bare journal append
//      with its commit plus one bare INSERT+COMMIT;
//  11. a backlog of journaled fuelings forwarded after an outage, as a rate against bare INSERT+COMMIT;
//  12. the concentrator drained through our library and the simulator on a pseudo-terminal, with the
//      database unreachable and reachable, against the line's own rate: the same number of bare
//      record reads through the library, nothing stored; on the pty and at 9600 baud.
#include "Abastecimentos.h"
#include "Bancada.h"
#include "CamposDiario.h"
#include "ClassCompanyTec.h"
#include "Diario.h"
#include "SimuladorTeste.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QTemporaryDir>

using namespace Bancada;

namespace {

QByteArray BytesDe(const TAbastecimento& r)
{
    return QByteArray(reinterpret_cast<const char*>(&r), sizeof r);
}

// Figures 10 and 11: a started engine on a fresh demo station with the fake driver, its poll timer
// off: the benchmark runs its ticks.
void RoadEFila(int repeticoes)
{
    TPostoTeste posto;
    TCicloLeitura& ciclo = posto.IniciaMotor().Ciclo();
    ciclo.ParaLeitura();
    TDiario& diario = *posto.Contexto->Diario();
    TInsercaoNua nua(posto.Contexto->CnTankora());
    // The floor's journal: a file of its own beside the engine's, on the same disk.
    QTemporaryDir pasta;
    TDiario diarioNu(TDiario::ArquivoDoPosto(pasta.path() + '/'));
    const QDate inicio(2025, 1, 1);
    const QDate outroDia = inicio.addYears(-10); // the floor's rows never meet the road's
    int proximo = 0;
    int base = 0;
    const int porBloco = 100;

    auto tiquesComAbastecimento = [&](int n) {
        return MedeBloco(n, [&](int) {
            posto.Falso->Fila << Plano(Gera(inicio, proximo++));
            ciclo.LeConcentradorTimer();
        });
    };
    auto tiquesVazios = [&](int n) { return MedeBloco(n, [&](int) { ciclo.LeConcentradorTimer(); }); };
    // With `marca`, the entry is also marked stored after the INSERT's commit, as the road does.
    auto piso = [&](int n, bool marca = false) {
        nua.NovoLote();
        return MedeBloco(n, [&](int) {
            const TFuelingGerado f = Gera(outroDia, base++);
            const TEntradaDiario e = diarioNu.Acrescenta(BytesDe(Plano(f)), kLayoutSimples, CamposDe(f),
                                                         kOrigemLeitura, QDateTime::currentDateTime());
            nua.Grava(f);
            if (marca)
                diarioNu.MarcaGravado(e.Numero, 1, QDate(2015, 1, 1), QStringLiteral("03"), QString::fromLatin1(f.Hora),
                                      QDateTime::currentDateTime());
        });
    };
    auto insercoes = [&](int n) {
        nua.NovoLote();
        return MedeBloco(n, [&](int) { nua.Grava(Gera(outroDia, base++)); });
    };

    tiquesComAbastecimento(porBloco); // warm-up: statements prepared, caches filled
    piso(porBloco);
    TComparacao caminho, vazio, marcado;
    for (int r = 0; r < repeticoes; ++r) {
        const TBloco c = tiquesComAbastecimento(porBloco);
        const TBloco p = piso(porBloco);
        const TBloco v = tiquesVazios(porBloco);
        const TBloco m = piso(porBloco, true);
        caminho.Acrescenta(c, p);
        vazio.Acrescenta(v, p);
        marcado.Acrescenta(c, m);
    }
    const qint64 aguardando = diario.ContaAguardando();
    Nota(QStringLiteral("Figure 10: %1 fuelings stored through the journal, %2 waiting, %3 error log lines")
             .arg(posto.Linhas(QStringLiteral("Select Count(*) As N From MvAbast Where Sequencia < 900000"),
                               {QStringLiteral("N")}).value(0))
             .arg(aguardando)
             .arg(posto.LinhasErro().size()));
    if (!posto.LinhasErro().isEmpty())
        Nota(QStringLiteral("  first: ") + posto.LinhasErro().first());
    const double r10 = caminho.MedianaMs() / caminho.MedianaMsBase();
    Linha("10", "One fueling's tick: read, journal append+commit, MvAbast+commit, marked stored, log line",
          Ms(caminho.MedianaMs()), Ms(caminho.MedianaMsBase()) + " bare journal append+commit + bare INSERT+COMMIT",
          Razao(caminho.MedianaMs(), caminho.MedianaMsBase()), "<= 1.2x", r10 <= 1.2);
    Linha("10", "The same tick against the floor with the entry marked stored (a second journal commit)",
          Ms(marcado.MedianaMs()), Ms(marcado.MedianaMsBase()) + " bare append+commit, INSERT+COMMIT, mark+commit",
          Razao(marcado.MedianaMs(), marcado.MedianaMsBase()), "report", true);
    Linha("10", "An idle tick (nothing read), the same engine", Ms(vazio.MedianaMs()),
          Ms(vazio.MedianaMsBase()) + " the floor above", Razao(vazio.MedianaMs(), vazio.MedianaMsBase()), "report",
          true);

    // Figure 11: the journal holds a backlog read while the database was away (appended as the
    // drain appends them); the engine's ticks forward it, kEncaminhadosPorTique a tick.
    const int fila = 1000;
    TComparacao encaminha;
    int ticks = 0;
    for (int r = 0; r < repeticoes; ++r) {
        for (int i = 0; i < fila; ++i) {
            const TFuelingGerado f = Gera(inicio, proximo++);
            diario.Acrescenta(BytesDe(Plano(f)), kLayoutSimples, CamposDe(f), kOrigemLeitura,
                              posto.Relogio.Agora());
        }
        ticks = 0;
        QElapsedTimer relogio;
        const qint64 bytes = BytesEscritos();
        relogio.start();
        while (diario.ContaAguardando() > aguardando) {
            ciclo.LeConcentradorTimer();
            if (++ticks > fila)
                throw EErro(QStringLiteral("the backlog is not going down: %1 waiting").arg(diario.ContaAguardando()));
        }
        TBloco b;
        b.Ms = relogio.nsecsElapsed() / 1e6 / fila;
        b.Bytes = double(BytesEscritos() - bytes) / fila;
        encaminha.Acrescenta(b, insercoes(fila));
    }
    Nota(QStringLiteral("Figure 11: a backlog of %1 forwarded in %2 ticks").arg(fila).arg(ticks));
    // Rates: fuelings a second.
    const double taxa = 1000.0 / encaminha.MedianaMs();
    const double taxaBase = 1000.0 / encaminha.MedianaMsBase();
    Linha("11", QStringLiteral("Backlog of %L1 journaled fuelings forwarded after an outage").arg(fila),
          QStringLiteral("%1/s (%2 each)").arg(taxa, 0, 'f', 0).arg(Ms(encaminha.MedianaMs())),
          QStringLiteral("%1/s bare INSERT+COMMIT").arg(taxaBase, 0, 'f', 0), Razao(taxa, taxaBase), ">= 0.8x",
          taxa / taxaBase >= 0.8);
}

// The journal's entries are numbered in the order read.
qint64 UltimaEntrada(TDiario& diario)
{
    qint64 ultima = 0;
    for (const TEntradaDiario& e : diario.Lista(TFiltroDiario::Todos))
        ultima = std::max(ultima, e.Numero);
    return ultima;
}

// Figure 12 on one line (the pty as it is, or paced at `baud`).
void Drenagem(int repeticoes, int n, int baud)
{
    TPostoTeste posto;
    TSimuladorTeste simulador;
    if (!simulador.IniciaSimuladorNaPasta(posto.Pasta.path()))
        throw EErro(QStringLiteral("concentrador-sim did not come up"));
    qputenv("COMPANYTEC_PORTA1", QFile::encodeName(simulador.Link));
    posto.DriverReal = true;
    TCicloLeitura& ciclo = posto.IniciaMotor().Ciclo();
    ciclo.ParaLeitura();
    TDiario& diario = *posto.Contexto->Diario();
    if (baud > 0)
        simulador.Ctl({"falha", "modo=lento", "atraso=0", QStringLiteral("baud=%1").arg(baud)});
    // The engine's library, loaded once in the process: bare reads go through the same port.
    QLibrary biblioteca(Executavel(QStringLiteral("libCompanytec.so")));
    using TLe = std::int32_t (*)(void*);
    auto le = reinterpret_cast<TLe>(biblioteca.resolve("LeAbastecimento"));
    if (!le)
        throw EErro(QStringLiteral("LeAbastecimento not found"));
    std::uint8_t registro[sizeof(TAbastecimento)];
    static const char* const kBicos[] = {"04", "05", "44", "45"};
    int proximo = 0;
    auto enfileira = [&] {
        for (int i = 0; i < n; ++i, ++proximo)
            simulador.Ctl({"abastece", QStringLiteral("bico=") + kBicos[proximo % 4],
                           QStringLiteral("litros=%1").arg(10 + proximo % 50), "preco=5.899"});
    };
    // The line's own rate: n records read and let go, the last one acknowledged by an empty read.
    auto nuas = [&] {
        enfileira();
        TBloco b = MedeBloco(n, [&](int) {
            if (le(registro) == 0)
                throw EErro(QStringLiteral("a bare read failed"));
        });
        le(registro);
        return b;
    };
    // The engine's ticks until all n are in the journal (and, with the database, stored).
    auto motor = [&] {
        enfileira();
        const qint64 ultima = UltimaEntrada(diario) + n;
        QElapsedTimer relogio;
        relogio.start();
        int ticks = 0;
        while (!diario.Entrada(ultima) || diario.ContaAguardando() > 0) {
            ciclo.LeConcentradorTimer();
            if (++ticks > n + 10)
                throw EErro(QStringLiteral("the drain is not going on"));
        }
        TBloco b;
        b.Ms = relogio.nsecsElapsed() / 1e6 / n;
        return b;
    };
    const QString linha = baud > 0 ? QStringLiteral("%1 baud").arg(baud) : QStringLiteral("pty");
    nuas(); // warm-up
    TComparacao alcancavel, inacessivel;
    for (int r = 0; r < repeticoes; ++r)
        alcancavel.Acrescenta(motor(), nuas());
    // The database gone: the attachment aborted, the file away; the engine backs off and only
    // journals (the test clock stands still, so the back-off never runs out).
    const QString banco = posto.Banco;
    posto.Contexto->CnTankora().Cancela();
    QFile::rename(banco, banco + ".fora");
    ciclo.LeConcentradorTimer();
    for (int r = 0; r < repeticoes; ++r) {
        const TBloco nua = nuas();
        enfileira();
        const qint64 ultima = UltimaEntrada(diario) + n;
        QElapsedTimer relogio;
        relogio.start();
        int ticks = 0;
        while (!diario.Entrada(ultima)) {
            ciclo.LeConcentradorTimer();
            if (++ticks > n + 10)
                throw EErro(QStringLiteral("the drain is not going on"));
        }
        TBloco b;
        b.Ms = relogio.nsecsElapsed() / 1e6 / n;
        inacessivel.Acrescenta(b, nua);
    }
    QFile::rename(banco + ".fora", banco);
    Nota(QStringLiteral("Figure 12 (%1): %2 fuelings queued at the simulator per block; %3 error log lines")
             .arg(linha)
             .arg(n)
             .arg(posto.LinhasErro().size()));
    if (!posto.LinhasErro().isEmpty())
        Nota(QStringLiteral("  first: ") + posto.LinhasErro().first());
    for (auto [comparacao, oque] : {std::pair{&inacessivel, QStringLiteral("database unreachable")},
                                    std::pair{&alcancavel, QStringLiteral("database reachable")}}) {
        const double taxa = 1000.0 / comparacao->MedianaMs();
        const double taxaBase = 1000.0 / comparacao->MedianaMsBase();
        Linha("12", QStringLiteral("Concentrator drained by the engine, %1, %2").arg(linha, oque),
              QStringLiteral("%1/s (%2 each)").arg(taxa, 0, 'f', 0).arg(Ms(comparacao->MedianaMs())),
              QStringLiteral("%1/s bare library reads, nothing stored").arg(taxaBase, 0, 'f', 0), Razao(taxa, taxaBase),
              ">= 0.9x", taxa / taxaBase >= 0.9);
    }
    simulador.Simulador.terminate();
    simulador.Simulador.waitForFinished(5000);
}

} // namespace

int main(int argc, char** argv)
try {
    QCoreApplication aplicacao(argc, argv);
    TCompanyTec::DefineArquivoBiblioteca(Executavel(QStringLiteral("libCompanytec.so")));
    const int repeticoes = Repeticoes(11);
    RoadEFila(std::min(repeticoes, 5));
    Drenagem(std::min(repeticoes, 5), 200, 0);
    Drenagem(std::min(repeticoes, 5), 30, 9600);
    return 0;
} catch (const std::exception& e) {
    Nota(QStringLiteral("bench_caminho failed: ") + MensagemDe(e));
    return 1;
}
