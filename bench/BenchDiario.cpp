// What the journal adds to one fueling: one bare append with its commit (WAL, synchronous=FULL),
// against one bare INSERT of the same fueling into MvAbast and its COMMIT, in alternating blocks:
// time and the bytes the process writes to disk; and the journal's size per entry on disk.
#include "Abastecimentos.h"
#include "Bancada.h"
#include "CamposDiario.h"
#include "Diario.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace Bancada;

namespace {

qint64 Tamanho(const QString& arquivo)
{
    return QFileInfo(arquivo).size() + QFileInfo(arquivo + "-wal").size();
}

} // namespace

int main(int argc, char** argv)
try {
    QCoreApplication aplicacao(argc, argv);
    const int repeticoes = Repeticoes(11);
    const int porBloco = 100;
    const QDate inicio(2025, 1, 1);

    TPostoTeste posto;
    TInsercaoNua nua(posto.Conexao());
    // On disk (scripts/bench points TMPDIR there), as the station folder is.
    QTemporaryDir pasta;
    const QString arquivo = TDiario::ArquivoDoPosto(pasta.path() + '/');
    auto diario = std::make_unique<TDiario>(arquivo);

    int lidos = 0;
    int inseridos = 0;
    auto anexa = [&](int n) {
        return MedeBloco(n, [&](int) {
            const TFuelingGerado f = Gera(inicio, lidos++);
            const TAbastecimentoFid r = ComTag(f);
            diario->Acrescenta(QByteArray(reinterpret_cast<const char*>(&r), sizeof r), kLayoutFid, CamposDe(f, QStringLiteral("04A1B2C3D4E5F607")),
                               kOrigemLeitura, QDateTime::currentDateTime());
        });
    };
    auto insere = [&](int n) {
        nua.NovoLote();
        return MedeBloco(n, [&](int) { nua.Grava(Gera(inicio, inseridos++), true); });
    };
    anexa(porBloco); // warm-up
    insere(porBloco);
    TComparacao comparacao;
    for (int r = 0; r < repeticoes; ++r) {
        const TBloco j = anexa(porBloco);
        const TBloco base = insere(porBloco);
        comparacao.Acrescenta(j, base);
    }
    Linha("9", "One journal append with its commit (tag layout)", Ms(comparacao.MedianaMs()),
          Ms(comparacao.MedianaMsBase()) + " bare INSERT+COMMIT", Razao(comparacao.MedianaMs(), comparacao.MedianaMsBase()),
          "report", true);
    Linha("9", "Disk bytes written by one journal append", Kb(comparacao.MedianaBytes()),
          Kb(comparacao.MedianaBytesBase()) + " bare INSERT+COMMIT",
          Razao(comparacao.MedianaBytes(), comparacao.MedianaBytesBase()), "report", true);

    // Space: a day's worth of entries more, then closed (its -wal folded into the file).
    const qint64 entradasAntes = lidos;
    diario.reset();
    const qint64 antes = Tamanho(arquivo);
    diario = std::make_unique<TDiario>(arquivo);
    const int dia = Escala(5000);
    for (int i = 0; i < dia; ++i)
        anexa(1);
    diario.reset();
    const double porEntrada = double(Tamanho(arquivo) - antes) / dia;
    Nota(QStringLiteral("Journal: %1 entries, %2 KiB on disk after closing").arg(entradasAntes + dia).arg(Tamanho(arquivo) / 1024));
    Linha("9", "Journal file size per entry", QString::number(porEntrada, 'f', 0) + " B",
          QStringLiteral("%1 B the record itself").arg(sizeof(TAbastecimentoFid)),
          Razao(porEntrada, double(sizeof(TAbastecimentoFid))), "report", true);
    return 0;
} catch (const std::exception& e) {
    Nota(QStringLiteral("bench_diario failed: ") + MensagemDe(e));
    return 1;
}
