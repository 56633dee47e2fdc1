// What one fueling costs through the engine's whole road (decode, nozzle lookup, time check,
// insert, sequence, log line, commit), against one bare INSERT of the same row and its COMMIT:
// time, plain and tag layouts; the same on a station whose MvAbast holds years of fuelings, with
// the query plans; and the bytes one fueling makes the process write to disk.
#include "Abastecimentos.h"
#include "Bancada.h"
#include "Firebird.h"

#include <QCoreApplication>

using namespace Bancada;

namespace {

// PSQL text whose ":name" are its own variables: straight to the server, in one transaction.
void ExecutaBruto(TConexao& conexao, const QString& sql)
{
    using namespace Firebird;
    TStatusFirebird st;
    IAttachment* anexo = conexao.Implementacao().Anexo;
    try {
        ITransaction* transacao = anexo->startTransaction(&st, 0, nullptr);
        const QByteArray texto = sql.toUtf8();
        anexo->execute(&st, transacao, static_cast<unsigned>(texto.size()), texto.constData(), 1, nullptr, nullptr,
                       nullptr, nullptr);
        transacao->commit(&st);
    } catch (const FbException& erro) {
        throw EErro(MensagemFirebird(erro));
    }
}

// A started engine on a fresh demo station, its poll timer off: the benchmark drives it.
struct TPostoBancada {
    TPostoTeste Posto;
    TCicloLeitura* Ciclo = nullptr;
    TInsercaoNua* Nua = nullptr;
    std::unique_ptr<TInsercaoNua> FNua;
    int Proximo = 0;
    QDate Inicio = QDate(2025, 1, 1);

    TPostoBancada()
    {
        Ciclo = &Posto.IniciaMotor().Ciclo();
        Ciclo->ParaLeitura();
        FNua = std::make_unique<TInsercaoNua>(Posto.Contexto->CnTankora());
        Nua = FNua.get();
    }
    TBloco Abastecimentos(int n, bool comTag)
    {
        Ciclo->DefineUsaFid(comTag);
        return MedeBloco(n, [&](int) {
            const TFuelingGerado f = Gera(Inicio, Proximo++);
            if (comTag)
                Ciclo->ProcessaAbastecimentoFid(ComTag(f));
            else
                Ciclo->ProcessaAbastecimento(Plano(f));
        });
    }
    TBloco Insercoes(int n, bool comTag = false, bool comLeituras = false)
    {
        Nua->NovoLote();
        const int inicio = Proximo;
        // The same rows ten years earlier: alike in every column the road writes, but never on a
        // nozzle, date and second the road is about to use (it would move its time past them).
        const QDate outroDia = Inicio.addYears(-10);
        return MedeBloco(n, [&](int i) { Nua->Grava(Gera(outroDia, inicio + i), comTag, comLeituras); });
    }
    // Rows of years gone by, stored by the database itself in one transaction.
    void Preenche(int linhas)
    {
        ExecutaBruto(Posto.Conexao(), QStringLiteral(
            "Execute Block As Declare i Integer = 0; Declare s Integer; Begin "
            "While (i < %1) Do Begin "
            "s = Mod(i, 200) * 400; "
            "Insert Into MvAbast (Data, Hora, CodBico, Combustivel, Litragem, Valor, CodProd, CodGrade, CodFid, "
            "PrecoUnit, Desconto, Emitido, Id, Sequencia, EncerranteFinal) Values ("
            "Cast('01.01.2000' As Date) + Cast(Floor(:i / 200) As Integer), "
            "LPad(Cast(Floor(:s / 3600) As Integer), 2, '0') || ':' || LPad(Cast(Floor(Mod(:s, 3600) / 60) As Integer), 2, '0') "
            "|| ':' || LPad(Mod(:s, 60), 2, '0'), "
            "'0' || Cast(Mod(:i, 4) + 1 As Integer), 'GASOLINA COMUM', 10.5, 61.94, '01', '1/2', Null, 5.899, 0, 'N', Mod(:i, 200) + 1, "
            "1, 1000 + :i); "
            "i = i + 1; End End").arg(linhas));
    }
    qint64 Linhas()
    {
        return Posto.Linhas(QStringLiteral("Select Count(*) As Quantos From MvAbast"), {QStringLiteral("Quantos")})
            .value(0)
            .toLongLong();
    }
};

void ImprimePlanos(TConexao& conexao, qint64 linhas)
{
    QStringList planos;
    for (TConsulta* consulta : std::as_const(conexao.Implementacao().Consultas)) {
        const QString sql = consulta->SQL().simplified();
        if (!sql.contains(QStringLiteral("MvAbast"), Qt::CaseInsensitive)
            && !sql.contains(QStringLiteral("Bombas"), Qt::CaseInsensitive))
            continue;
        const QString plano = consulta->Plano().simplified();
        planos << QStringLiteral("    %1\n      %2").arg(sql.left(110), plano.isEmpty() ? QStringLiteral("(no plan: an INSERT)") : plano);
    }
    planos.sort();
    Nota(QStringLiteral("Query plans of the engine's statements on MvAbast and Bombas, prepared on an empty MvAbast, "
                        "now with %L1 rows:").arg(linhas));
    for (const QString& p : planos)
        Nota(p);
}

} // namespace

int main(int argc, char** argv)
try {
    QCoreApplication aplicacao(argc, argv);
    const int repeticoes = Repeticoes(11);
    const int porBloco = 100;

    // Figures 1 and 3: the whole road against the bare INSERT+COMMIT, in alternating blocks.
    {
        TPostoBancada posto;
        posto.Abastecimentos(porBloco, false); // warm-up: statements prepared, caches filled
        posto.Insercoes(porBloco);
        TComparacao plano, tag, leituras;
        for (int r = 0; r < repeticoes; ++r) {
            const TBloco p = posto.Abastecimentos(porBloco, false);
            const TBloco base = posto.Insercoes(porBloco);
            const TBloco t = posto.Abastecimentos(porBloco, true);
            const TBloco baseTag = posto.Insercoes(porBloco, true);
            const TBloco baseLeituras = posto.Insercoes(porBloco, false, true);
            plano.Acrescenta(p, base);
            tag.Acrescenta(t, baseTag);
            leituras.Acrescenta(p, baseLeituras);
        }
        Nota(QStringLiteral("Figure 1: %1 fuelings stored by the road, %2 error log lines")
                 .arg(posto.Posto.Linhas(QStringLiteral("Select Count(*) As N From MvAbast Where Sequencia < 900000"),
                                         {QStringLiteral("N")}).value(0))
                 .arg(posto.Posto.LinhasErro().size()));
        if (!posto.Posto.LinhasErro().isEmpty())
            Nota(QStringLiteral("  first: ") + posto.Posto.LinhasErro().first());
        const double rp = plano.MedianaMs() / plano.MedianaMsBase();
        const double rt = tag.MedianaMs() / tag.MedianaMsBase();
        Linha("1", "One fueling, whole road, plain", Ms(plano.MedianaMs()), Ms(plano.MedianaMsBase()) + " bare INSERT+COMMIT",
              Razao(plano.MedianaMs(), plano.MedianaMsBase()), "<= 1.5x", rp <= 1.5);
        Linha("1", "One fueling, whole road, tag (FID)", Ms(tag.MedianaMs()), Ms(tag.MedianaMsBase()) + " bare INSERT+COMMIT",
              Razao(tag.MedianaMs(), tag.MedianaMsBase()), "<= 1.5x", rt <= 1.5);
        Linha("1", "The same plain road against its database floor", Ms(leituras.MedianaMs()),
              Ms(leituras.MedianaMsBase()) + " INSERT+COMMIT with the road's four indexed reads",
              Razao(leituras.MedianaMs(), leituras.MedianaMsBase()), "report", true);
        const double rb = plano.MedianaBytes() / plano.MedianaBytesBase();
        Linha("3", "Disk bytes written by one fueling", Kb(plano.MedianaBytes()),
              Kb(plano.MedianaBytesBase()) + " bare INSERT+COMMIT", Razao(plano.MedianaBytes(), plano.MedianaBytesBase()),
              "<= 1.5x", rb <= 1.5);
    }

    // Figure 2: the same road on a station with years of fuelings, against one with a thousand.
    {
        const int muitas = Escala(1000000);
        TPostoBancada grande;
        TPostoBancada pequeno;
        // The engine's statements are prepared on an empty MvAbast and kept, as at a station whose
        // program started on a new database and has run ever since: their plans must hold.
        grande.Abastecimentos(porBloco, false);
        pequeno.Abastecimentos(porBloco, false);
        QElapsedTimer preenche;
        preenche.start();
        grande.Preenche(muitas);
        pequeno.Preenche(1000);
        Nota(QStringLiteral("MvAbast filled with %1 and %2 rows in %3 s")
                 .arg(grande.Linhas())
                 .arg(pequeno.Linhas())
                 .arg(preenche.elapsed() / 1000.0, 0, 'f', 1));
        grande.Abastecimentos(porBloco, false);
        pequeno.Abastecimentos(porBloco, false);
        TComparacao comparacao;
        for (int r = 0; r < repeticoes; ++r) {
            const TBloco g = grande.Abastecimentos(porBloco, false);
            const TBloco p = pequeno.Abastecimentos(porBloco, false);
            comparacao.Acrescenta(g, p);
        }
        const double razao = comparacao.MedianaMs() / comparacao.MedianaMsBase();
        Linha("2", QStringLiteral("One fueling with %L1 rows in MvAbast").arg(muitas), Ms(comparacao.MedianaMs()),
              Ms(comparacao.MedianaMsBase()) + " with 1,000 rows", Razao(comparacao.MedianaMs(), comparacao.MedianaMsBase()),
              "<= 1.1x", razao <= 1.1);
        grande.FNua.reset(); // only the engine's own statements
        ImprimePlanos(grande.Posto.Contexto->CnTankora(), grande.Linhas());
    }
    return 0;
} catch (const std::exception& e) {
    Nota(QStringLiteral("bench_abastecimento failed: ") + MensagemDe(e));
    return 1;
}
