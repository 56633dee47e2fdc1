#include "Firebird.h"
#include "PostoTeste.h"
#include "ServicoCaptura.h"

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>

#include <QScopeGuard>

#include <cerrno>
#include <cmath>
#include <cstring>

#include <sys/mount.h>

namespace {

const QStringList kColunas = {"Data", "Hora", "CodBico", "Combustivel", "Litragem", "Valor", "CodProd", "CodGrade",
                              "CodFid", "PrecoUnit", "Desconto", "Emitido", "Id", "Sequencia", "EncerranteFinal"};

// A station of our own: one product, a tank whose code holds slashes, nozzle 00012 on code 068.
void PreparaBicos(TPostoTeste& posto)
{
    posto.Executa("Delete From Bombas");
    posto.Executa("Insert Into Produto (CodProd, Descricao) Values ('P9', 'ÓLEO AÇÚCAR')");
    posto.Executa("Insert Into Tanques (CodTanque, CodProd) Values ('1/2/3', 'P9')");
    posto.Executa("Insert Into Bombas (CodBico, Descricao, CodTanque, CodConcentrador) "
                  "Values ('00012', 'BICO DOZE', '1/2/3', '068')");
}

TAbastecimentoFid AbastecimentoFid(const QByteArray& tag)
{
    const TAbastecimento plano = Abastecimento("44", 10, 58990, 589900, 37);
    TAbastecimentoFid r = RegistroVazio<TAbastecimentoFid>();
    std::memcpy(&r, &plano, 64);
    r.Id = 37;
    r.EncerranteFinal = 1000;
    r.CodFid.Define(tag);
    return r;
}

} // namespace

class TesteAbastecimentos : public QObject {
    Q_OBJECT
private slots:
    void RegistroSemAbastecimentoNaoTocaNoBanco_data()
    {
        QTest::addColumn<int>("valido");
        QTest::addColumn<double>("litros");
        QTest::addColumn<qint64>("preco");
        QTest::newRow("valido 0") << 0 << 10.0 << qint64(58990);
        QTest::newRow("litros 0.001") << 1 << 0.001 << qint64(58990);
        QTest::newRow("preco zero") << 1 << 10.0 << qint64(0);
        QTest::newRow("preco arredonda a zero") << 1 << 10.0 << qint64(49);
    }
    void RegistroSemAbastecimentoNaoTocaNoBanco()
    {
        QFETCH(int, valido);
        QFETCH(double, litros);
        QFETCH(qint64, preco);
        TPostoTeste posto;
        auto& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        TAbastecimento r = Abastecimento("44", litros, preco, 500000, 1);
        r.Valido = static_cast<std::uint8_t>(valido);
        ciclo.ProcessaAbastecimento(r);
        QVERIFY(posto.Linhas("Select * From MvAbast", {"Id"}).isEmpty());
        QVERIFY(ciclo.BicoConcentrador().isEmpty()); // not even decoded
        QVERIFY(posto.LinhasLog().isEmpty());
        QVERIFY(posto.LinhasErro().isEmpty());
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
    }

    void CodigoSemBicoVaiAoLogDeErros_data()
    {
        QTest::addColumn<QByteArray>("bico");
        QTest::addColumn<QString>("codigo");
        QTest::newRow("0A") << QByteArray("0A") << "010";
        QTest::newRow("E3") << QByteArray("E3") << "227";
        QTest::newRow("44 sem bico") << QByteArray("44") << "068";
    }
    void CodigoSemBicoVaiAoLogDeErros()
    {
        QFETCH(QByteArray, bico);
        QFETCH(QString, codigo);
        TPostoTeste posto;
        posto.Executa("Delete From Bombas");
        auto& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ProcessaAbastecimento(Abastecimento(bico, 8.5, 58990, 500000, 37));
        QCOMPARE(ciclo.BicoConcentrador(), codigo);
        QCOMPARE(posto.LinhasErro(),
                 QStringList("09/12/25 14:03:28 O sistema não encontrou nenhum bico relacionado com o concentrador "
                             + codigo + " ID: 0037 Dinheiro: 50 Litros: 8,5"));
        QVERIFY(posto.Linhas("Select * From MvAbast", {"Id"}).isEmpty());
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
    }

    void GravaComOsValoresDoBico_data()
    {
        QTest::addColumn<QString>("impreDescBico");
        QTest::addColumn<bool>("usaFid");
        QTest::addColumn<QByteArray>("tag");
        QTest::addColumn<QString>("combustivel");
        QTest::addColumn<QString>("codFid");
        QTest::newRow("produto, sem fid") << "s" << false << QByteArray("12345678901234567890") << "ÓLEO AÇÚCAR" << "<null>";
        QTest::newRow("bico, tag cortada") << "S" << true << QByteArray("12345678901234567890") << "BICO DOZE"
                                            << "1234567890123456";
        QTest::newRow("dezesseis zeros") << "N" << true << QByteArray("0000000000000000") << "ÓLEO AÇÚCAR" << "<null>";
    }
    void GravaComOsValoresDoBico()
    {
        QFETCH(QString, impreDescBico);
        QFETCH(bool, usaFid);
        QFETCH(QByteArray, tag);
        QFETCH(QString, combustivel);
        QFETCH(QString, codFid);
        TPostoTeste posto;
        PreparaBicos(posto);
        posto.Executa("Update ParaPosto Set ImpreDescBico = '" + impreDescBico + "', SequenciaAbast = 7");
        auto& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.DefineUsaFid(usaFid);
        ciclo.ProcessaAbastecimentoFid(AbastecimentoFid(tag));
        QCOMPARE(posto.Linhas("Select * From MvAbast", kColunas),
                 QStringList("09/12/2025|14:03:27|00012|" + combustivel + "|10|58,99|P9|123|" + codFid
                             + "|5,899|0|N|37|7|1000"));
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
    }

    void FalhaAoGravarPlanoRepassaFidEngole()
    {
        TPostoTeste posto;
        PreparaBicos(posto);
        auto& ciclo = posto.IniciaMotor().Ciclo();
        const QString causa = "Erro ao Gravar o Abastecimento'xx' não é um horário válido";
        try {
            ciclo.ProcessaAbastecimento(Abastecimento("44", 10, 58990, 589900, 37, "09/12/2025", "xx"));
            QFAIL("sem erro");
        } catch (const EErro& e) {
            QCOMPARE(e.Mensagem(), "Erro ao tentar gravar o abastecimento " + causa);
        }
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
        QCOMPARE(posto.Respondedor.Caixas[0].Texto,
                 "Ocorreu um erro ao realizar a leitura do abastecimento:\r" + causa
                     + "\rFeche o sistema de conexão com o concentrador e o reinicie novamente!");
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());

        // Every fueling that fails leaves a trace line to capture it by ID later.
        const QString rastro = "09/12/25 14:03:28 Abastecimento não gravado: ID: %1 Bico: 44 Data: 09/12/2025 "
                               "Hora: xx Litros: 10 Valor: 58,99";
        QCOMPARE(posto.LinhasErro(), QStringList(rastro.arg("0037")));

        // Through the poll cycle, either layout: the record is journaled first and held there with
        // its reason (one error-log line, no box), never dropped; the status bar asks for the
        // technician.
        ciclo.ParaLeitura();
        posto.Falso->Fila << Abastecimento("44", 10, 58990, 589900, 38, "09/12/2025", "xx");
        ciclo.LeConcentradorTimer();
        const QString retido = "09/12/25 14:03:28 Abastecimento retido no diário (entrada %1): " + causa
            + " Abastecimento: ID: %2 Bico: 44 Data: 09/12/2025 Hora: xx Litros: 10 Valor: 58,99";
        QCOMPARE(posto.LinhasErro().mid(1), QStringList(retido.arg(1).arg("0038")));
        TAbastecimentoFid fid = AbastecimentoFid("0000000000000000");
        fid.Hora.Define("xx");
        posto.Falso->FilaFid << fid;
        ciclo.DefineUsaFid(true);
        ciclo.LeConcentradorTimer();
        QCOMPARE(posto.LinhasErro().mid(2), QStringList(retido.arg(2).arg("0037")));
        QCOMPARE(ciclo.AbastecimentosRetidos(), qint64(2));
        QCOMPARE(ciclo.TextoStatus(), TextoStatusRetidos(2));
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
    }

    // No sale has these values: the record is passed over with one error-log line, no row, no box
    // and no error for the poll to log, like a record the decoding drops.
    void ValoresImpossiveisNaoViramLinha_data()
    {
        QTest::addColumn<double>("litros");
        QTest::addColumn<qint64>("preco");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<double>("encerrante");
        QTest::newRow("litros NaN") << std::nan("") << qint64(58990) << qint64(589900) << 1000.0;
        QTest::newRow("litros infinitos") << HUGE_VAL << qint64(58990) << qint64(589900) << 1000.0;
        QTest::newRow("litros negativos") << -11.125 << qint64(58990) << qint64(656264) << 1000.0;
        QTest::newRow("preco negativo") << 10.0 << qint64(-58990) << qint64(589900) << 1000.0;
        QTest::newRow("valor zero") << 10.0 << qint64(58990) << qint64(0) << 1000.0;
        QTest::newRow("valor negativo") << 10.0 << qint64(58990) << qint64(-589900) << 1000.0;
        QTest::newRow("encerrante infinito") << 10.0 << qint64(58990) << qint64(589900) << -HUGE_VAL;
    }
    void ValoresImpossiveisNaoViramLinha()
    {
        QFETCH(double, litros);
        QFETCH(qint64, preco);
        QFETCH(qint64, total);
        QFETCH(double, encerrante);
        TPostoTeste posto;
        PreparaBicos(posto);
        auto& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        QSignalSpy linhas(&ciclo, &TCicloLeitura::LinhaLogEscrita);
        const TAbastecimento r = Abastecimento("44", litros, preco, total, 37, "09/12/2025", "14:03:27", encerrante);
        QCOMPARE(ciclo.ProcessaAbastecimento(r), TResultadoAbastecimento::ValoresInvalidos);
        // Through the poll: held in the journal for a technician, and the next record goes on.
        posto.Falso->Fila << r << Abastecimento("44", 10, 58990, 589900, 38, "09/12/2025", "14:05:00", 1010);
        ciclo.LeConcentradorTimer();
        ciclo.LeConcentradorTimer();
        QCOMPARE(ciclo.AbastecimentosRetidos(), qint64(1));
        QCOMPARE(ciclo.AbastecimentosAguardando(), qint64(0));
        QCOMPARE(posto.Linhas("Select Id From MvAbast", {"Id"}), QStringList("38"));
        QCOMPARE(linhas.size(), 1);
        const QStringList erros = posto.LinhasErro();
        QCOMPARE(erros.size(), 2);
        const QString impossivel = "Abastecimento com litragem, preço unitário, valor ou encerrante impossível, não "
                                   "gravado: ID: 0037 Bico: 44 Data: 09/12/2025 Hora: 14:03:27";
        QVERIFY2(erros[0].startsWith("09/12/25 14:03:28 " + impossivel), qPrintable(erros[0]));
        QVERIFY2(erros[1].startsWith("09/12/25 14:03:28 Abastecimento retido no diário (entrada 1): " + impossivel),
                 qPrintable(erros[1]));
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
    }

    void HoraMovidaPassaAsColisoes()
    {
        TPostoTeste posto;
        PreparaBicos(posto);
        auto& ciclo = posto.IniciaMotor().Ciclo();
        QSignalSpy linhas(&ciclo, &TCicloLeitura::LinhaLogEscrita);
        ciclo.ProcessaAbastecimento(Abastecimento("44", 10, 58990, 589900, 1, "09/12/2025", "9:05:00"));
        ciclo.ProcessaAbastecimento(Abastecimento("44", 11, 58990, 648890, 2, "09/12/2025", "09:05:00"));
        ciclo.ProcessaAbastecimento(Abastecimento("44", 12, 58990, 707880, 3, "09/12/2025", "09:05:00"));
        ciclo.ProcessaAbastecimento(Abastecimento("44", 13, 58990, 766870, 4, "08/12/2025", "23:59:59"));
        ciclo.ProcessaAbastecimento(Abastecimento("44", 14, 58990, 825860, 5, "08/12/2025", "23:59:59"));
        QCOMPARE(posto.Linhas("Select * From MvAbast Order By Id", {"Id", "Data", "Hora"}),
                 QStringList({"1|09/12/2025|09:05:00", "2|09/12/2025|09:05:01", "3|09/12/2025|09:05:02",
                              "4|08/12/2025|23:59:59", "5|08/12/2025|00:00:00"}));
        QCOMPARE(linhas.size(), 5);
        QVERIFY(linhas[2][0].toString().startsWith(" 09/12/2025   09:05:02   00012"));
        QCOMPARE(posto.LinhasLog().size(), 5);
    }

    void RepetidoNaoMoveEChaveRecusa()
    {
        TPostoTeste posto;
        PreparaBicos(posto);
        auto& ciclo = posto.IniciaMotor().Ciclo();
        const TAbastecimento r = Abastecimento("44", 25.437, 58990, 1500500, 169);
        ciclo.ProcessaAbastecimento(r);
        // The same fueling delivered again is passed over: one line, no second row, no box.
        ciclo.ProcessaAbastecimento(r);
        QCOMPARE(posto.Linhas("Select * From MvAbast", {"Id", "Hora"}), QStringList("169|14:03:27"));
        QCOMPARE(posto.LinhasErro(),
                 QStringList("09/12/25 14:03:28 Abastecimento já gravado, recebido novamente e ignorado: ID: 0169 "
                             "Bico: 44 Data: 09/12/2025 Hora: 14:03:27 Litros: 25,437 Valor: 150,05"));
        QVERIFY(posto.Respondedor.Caixas.isEmpty());

        // Another fueling under the same ID, sequence and date (a concentrator restarted, its IDs begun
        // again) is not moved; the key refuses it.
        QSignalSpy linhas(&ciclo, &TCicloLeitura::LinhaLogEscrita);
        QVERIFY_THROWS_EXCEPTION(EErro, ciclo.ProcessaAbastecimento(Abastecimento("44", 30, 58990, 1769700, 169,
                                                                                 "09/12/2025", "14:03:27", 1030)));
        QCOMPARE(posto.Linhas("Select * From MvAbast", {"Id", "Hora"}), QStringList("169|14:03:27"));
        const QStringList erros = posto.LinhasErro();
        QCOMPARE(erros.size(), 3);
        QVERIFY2(erros[1].startsWith("09/12/25 14:03:28 Erro ao tentar gravar o abastecimento:  Sequencia: 1 "
                                     "Data: 09/12/2025 Hora: 14:03:27 Bico: 00012 Erro: "),
                 qPrintable(erros[1]));
        QVERIFY2(erros[2].contains("Abastecimento não gravado: ID: 0169"), qPrintable(erros[2]));
        // Only the stored fueling has a line: the refused one is in the error log and the box, never
        // in the day's file or the pane; the repeat left none either.
        const QString linha = " 09/12/2025   14:03:27   00012      25,437       5,899     150,05   001  0169   068";
        QCOMPARE(posto.Arquivo("LogLinkor09122025"), linha + "\r\n");
        QCOMPARE(linhas.size(), 0);
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
    }

    // After a concentrator restart its IDs start again: a new sale with an ID, nozzle and litres
    // already stored that day, at another time, is a new row; a row whose time was moved past
    // another fueling is still recognised when it is delivered again.
    void MesmoIdEmOutraHoraEOutroAbastecimento()
    {
        TPostoTeste posto;
        PreparaBicos(posto);
        posto.Executa("Alter Table MvAbast Drop Constraint MvAbast_Fueling"); // the station's keys decide
        auto& ciclo = posto.IniciaMotor().Ciclo();
        // Each sale at its own totalizer, as the pump counts them.
        const TAbastecimento outro = Abastecimento("44", 3, 58990, 176970, 6, "09/12/2025", "10:00:00", 1003);
        const TAbastecimento antes = Abastecimento("44", 8.476, 58990, 500000, 5, "09/12/2025", "10:00:00", 1011.476);
        const TAbastecimento depois = Abastecimento("44", 8.476, 58990, 500000, 5, "09/12/2025", "10:05:00", 1019.952);
        for (const TAbastecimento& novo : {outro, antes, depois})
            QCOMPARE(ciclo.ProcessaAbastecimento(novo), TResultadoAbastecimento::Gravado);
        for (const TAbastecimento& deNovo : {antes, depois, outro})
            QCOMPARE(ciclo.ProcessaAbastecimento(deNovo), TResultadoAbastecimento::JaGravado);
        QCOMPARE(posto.Linhas("Select Id, Hora From MvAbast Order By Hora", {"Id", "Hora"}),
                 QStringList({"6|10:00:00", "5|10:00:01", "5|10:05:00"}));
        QCOMPARE(posto.LinhasErro().filter("recebido novamente e ignorado").size(), 3);
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
    }

    // A record that carries its totalizer is known by it: delivered again after another program
    // advanced the sequence twice, or after the management software edited the row's time and litres,
    // it is passed over; a sale of the same litres at another totalizer is a row of its own.
    void EncerranteReconheceOJaGravado_data()
    {
        QTest::addColumn<QString>("depois"); // what happened to the station after the row was stored
        QTest::newRow("sequencia avancou duas vezes") << "Update ParaPosto Set SequenciaAbast = SequenciaAbast + 2";
        QTest::newRow("linha editada") << "Update MvAbast Set Hora = '14:10:00', Litragem = 25.5, Valor = 150.42";
        QTest::newRow("ambos") << "Update ParaPosto Set SequenciaAbast = SequenciaAbast + 2;"
                                  "Update MvAbast Set Hora = '14:10:00', Litragem = 25.5, Sequencia = 0";
    }
    void EncerranteReconheceOJaGravado()
    {
        QFETCH(QString, depois);
        TPostoTeste posto;
        PreparaBicos(posto);
        auto& ciclo = posto.IniciaMotor().Ciclo();
        const TAbastecimento r = Abastecimento("44", 25.437, 58990, 1500500, 169, "09/12/2025", "14:03:27", 4525.437);
        QCOMPARE(ciclo.ProcessaAbastecimento(r), TResultadoAbastecimento::Gravado);
        for (const QString& sql : depois.split(';'))
            posto.Executa(sql);
        QCOMPARE(ciclo.ProcessaAbastecimento(r), TResultadoAbastecimento::JaGravado);
        // The same litres at the next totalizer: a new sale.
        QCOMPARE(ciclo.ProcessaAbastecimento(Abastecimento("44", 25.437, 58990, 1500500, 170, "09/12/2025", "14:20:00",
                                                           4550.874)),
                 TResultadoAbastecimento::Gravado);
        QCOMPARE(posto.Linhas("Select Count(*) As N From MvAbast", {"N"}), QStringList("2"));
        QCOMPARE(posto.LinhasLog().size(), 2);
        QCOMPARE(posto.LinhasErro().filter("recebido novamente e ignorado").size(), 1);
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
    }

    // A fueling the database refuses is never shown as stored, whichever road brought it: no line in
    // the pane, none in the day's file (the next day's either, for a capture after midnight), so the
    // count holds only rows of MvAbast. Nor is it dropped: it is held in the journal with the
    // database's reason (before, it was acknowledged and lived on only in the error log).
    void RecusadoNaoApareceComoGravado_data()
    {
        QTest::addColumn<bool>("captura");
        QTest::addColumn<QString>("recusa");
        QTest::newRow("lido, chave unica") << false << "chave";
        QTest::newRow("lido, gatilho") << false << "gatilho";
        QTest::newRow("capturado depois da meia-noite, chave unica") << true << "chave";
        QTest::newRow("capturado depois da meia-noite, gatilho") << true << "gatilho";
    }
    void RecusadoNaoApareceComoGravado()
    {
        QFETCH(bool, captura);
        QFETCH(QString, recusa);
        TPostoTeste posto;
        PreparaBicos(posto);
        TLinkor& motor = posto.IniciaMotor();
        auto& ciclo = motor.Ciclo();
        ciclo.ParaLeitura();
        QSignalSpy linhas(&ciclo, &TCicloLeitura::LinhaLogEscrita);
        QCOMPARE(ciclo.ProcessaAbastecimento(Abastecimento("44", 10, 58990, 589900, 1, "09/12/2025", "10:00:00", 1010)),
                 TResultadoAbastecimento::Gravado);
        if (recusa == "gatilho") {
            posto.Executa("Create Exception MVABAST_RECUSADO 'gravação recusada'");
            posto.Executa("Create Trigger RECUSA_MVABAST For MvAbast Before Insert As Begin "
                          "Exception MVABAST_RECUSADO; End");
        }
        // The concentrator restarted: its IDs begin again at 1, for a new sale at the next totalizer.
        const TAbastecimento novo = Abastecimento("44", 12, 58990, 707880, 1, "09/12/2025", "11:00:00", 1022);
        if (captura) {
            posto.Relogio.Momento = QDateTime(QDate(2025, 12, 10), QTime(0, 0, 5));
            posto.Falso->Registros[1] = novo;
            const TResultadoCaptura resultado = TServicoCaptura(motor).Captura(1, "1");
            QVERIFY2(resultado.Tipo == TTipoMensagem::Erro
                         && resultado.Texto.startsWith("O abastecimento 1 não foi gravado: ")
                         && resultado.Texto.contains("retido no diário"),
                     qPrintable(resultado.Texto));
        } else {
            posto.Falso->Fila << novo;
            ciclo.LeConcentradorTimer();
        }
        QCOMPARE(posto.Linhas("Select Id, Hora From MvAbast", {"Id", "Hora"}), QStringList("1|10:00:00"));
        QCOMPARE(linhas.size(), 1);
        QCOMPARE(posto.LinhasLog().size(), 1);
        QVERIFY(!QFile::exists(posto.Pasta.filePath("LogLinkor10122025")));
        // Refused, held, and said so: one error-log line with the database's reason; the key refused
        // by another fueling names the way to store it under the next sequence. No box for the poll.
        const QStringList erros = posto.LinhasErro().filter("Abastecimento retido no diário (entrada 1): ");
        QVERIFY(!erros.isEmpty());
        if (recusa == "chave")
            QVERIFY2(erros.last().contains("linkor-diario reenvia 1 --nova-sequencia"), qPrintable(erros.last()));
        QCOMPARE(ciclo.AbastecimentosRetidos(), qint64(1));
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
    }

    // The road's statements are prepared once and kept for the program's life, so a plan made while
    // MvAbast was still empty must still find a fueling by its key, not read every fueling of its day.
    void ChecagensPorIdUsamAChaveMesmoPreparadasComATabelaVazia()
    {
        TPostoTeste posto;
        PreparaBicos(posto);
        auto& ciclo = posto.IniciaMotor().Ciclo();
        QCOMPARE(posto.Linhas("Select Count(*) As N From MvAbast", {"N"}), QStringList("0"));
        ciclo.ProcessaAbastecimento(Abastecimento("44", 10, 58990, 589900, 37));
        int checagens = 0;
        for (TConsulta* consulta : std::as_const(posto.Contexto->CnTankora().Implementacao().Consultas)) {
            const QString sql = consulta->SQL().simplified();
            if (!sql.contains("From MvAbast", Qt::CaseInsensitive) || !sql.contains("Id =", Qt::CaseInsensitive))
                continue;
            ++checagens;
            const QString plano = consulta->Plano();
            QVERIFY2(plano.contains("MVABAST_FUELING") && !plano.contains("MVABAST_DATAHORABICO"),
                     qPrintable(sql + "\n" + plano));
        }
        QVERIFY(checagens >= 1);
    }

    void Id9999AvancaASequencia()
    {
        TPostoTeste posto;
        PreparaBicos(posto);
        posto.Executa("Update ParaPosto Set SequenciaAbast = 4");
        TLinkor& motor = posto.IniciaMotor();
        auto& ciclo = motor.Ciclo();
        ciclo.ProcessaAbastecimento(Abastecimento("44", 10, 58990, 589900, 9999, "09/12/2025", "10:00:00", 1010));
        ciclo.ProcessaAbastecimento(Abastecimento("44", 10, 58990, 589900, 1, "09/12/2025", "10:01:00", 1020));
        QCOMPARE(posto.Linhas("Select * From MvAbast Order By Hora", {"Id", "Sequencia"}),
                 QStringList({"9999|4", "1|5"}));
        QCOMPARE(posto.Linhas("Select SequenciaAbast From ParaPosto", {"SequenciaAbast"}), QStringList("5"));
        QVERIFY(motor.Parametros().SequenciaAlterada());
        // Every station parameter stays readable after the re-read.
        QCOMPARE(motor.Parametros().Texto("visualizastatusbomba"), QString("S"));
        ciclo.ProcessaAbastecimento(Abastecimento("44", 11, 58990, 648890, 9999, "09/12/2025", "10:02:00", 1031));
        QCOMPARE(posto.Linhas("Select SequenciaAbast From ParaPosto", {"SequenciaAbast"}), QStringList("6"));
        // The last 9999 delivered again: passed over, the sequence stays.
        ciclo.ProcessaAbastecimento(Abastecimento("44", 11, 58990, 648890, 9999, "09/12/2025", "10:02:00", 1031));
        QCOMPARE(posto.Linhas("Select SequenciaAbast From ParaPosto", {"SequenciaAbast"}), QStringList("6"));

        // A counter another program changed is read before the fueling is stored: the row carries
        // it and the advance starts from it, nothing is overwritten.
        posto.Executa("Update ParaPosto Set SequenciaAbast = 50");
        ciclo.ProcessaAbastecimento(Abastecimento("44", 12, 58990, 707880, 9999, "09/12/2025", "10:03:00", 1043));
        QCOMPARE(posto.Linhas("Select Sequencia From MvAbast Where Hora = '10:03:00'", {"Sequencia"}),
                 QStringList("50"));
        QCOMPARE(posto.Linhas("Select SequenciaAbast From ParaPosto", {"SequenciaAbast"}), QStringList("51"));
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
    }

    void SequenciaSoAvancaAposConfirmar()
    {
        // A commit the database refuses rolls the fueling and its sequence advance back together;
        // the next ID 9999 then advances from the value actually stored.
        TPostoTeste posto;
        PreparaBicos(posto);
        posto.Executa("Update ParaPosto Set SequenciaAbast = 4");
        posto.Executa("Create Exception ERRO_COMMIT 'commit recusado'");
        posto.Executa("Create Trigger RECUSA_COMMIT On Transaction Commit As Begin "
                      "If (Exists(Select 1 From MvAbast Where Hora = '10:00:00')) Then Exception ERRO_COMMIT; End");
        auto& ciclo = posto.IniciaMotor().Ciclo();
        QVERIFY_THROWS_EXCEPTION(EErro, ciclo.ProcessaAbastecimento(
                                            Abastecimento("44", 10, 58990, 589900, 9999, "09/12/2025", "10:00:00")));
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
        QCOMPARE(posto.Linhas("Select SequenciaAbast From ParaPosto", {"SequenciaAbast"}), QStringList("4"));
        ciclo.ProcessaAbastecimento(Abastecimento("44", 10, 58990, 589900, 9999, "09/12/2025", "10:05:00"));
        QCOMPARE(posto.Linhas("Select Id, Sequencia From MvAbast", {"Id", "Sequencia"}), QStringList("9999|4"));
        QCOMPARE(posto.Linhas("Select SequenciaAbast From ParaPosto", {"SequenciaAbast"}), QStringList("5"));
    }

    // The database cannot store a fueling: the fuelings wait in the journal, the concentrator is
    // drained all the same (before, nothing was read meanwhile), no box; attempts back off (1, 2,
    // 4 ... 60 s) and the ticks in between leave the database alone; one log line when the outage
    // starts and one when it ends; the status bar and the notice tell a database that cannot be
    // reached from one that answers and refuses (with its message), and how many wait.
    void EsperaDoBancoRecuaEDizOMotivo_data()
    {
        QTest::addColumn<bool>("recusa");
        QTest::newRow("inacessivel") << false;
        QTest::newRow("coluna ausente") << true;
    }
    void EsperaDoBancoRecuaEDizOMotivo()
    {
        QFETCH(bool, recusa);
        TPostoTeste posto;
        PreparaBicos(posto);
        posto.Executa("Update ParaPosto Set visualizastatusbomba = 'S'");
        if (recusa)
            posto.Executa("Alter Table MvAbast Drop EncerranteFinal");
        auto& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        QSignalSpy avisos(&ciclo, &TCicloLeitura::AvisoAlterado);
        posto.Falso->Fila << Abastecimento("44", 10, 58990, 589900, 1, "09/12/2025", "10:00:00")
                          << Abastecimento("44", 11, 58990, 648890, 2, "09/12/2025", "10:01:00");
        TConexao& conexao = posto.Contexto->CnTankora();
        if (!recusa) {
            // The database goes away and stays away: the attachment is cut, and re-attaching fails.
            conexao.DefineParametro("Database", posto.Pasta.filePath("sumiu.fdb"));
            posto.Executa("Delete From MON$ATTACHMENTS Where MON$ATTACHMENT_ID <> Current_Connection");
        }

        // A tick every second for four minutes: attempts at 0, 1, 3, 7, 15, 31, 63, 123 and 183 s.
        const QDateTime inicio = posto.Relogio.Momento;
        for (int segundo = 0; segundo < 240; ++segundo) {
            posto.Relogio.Momento = inicio.addSecs(segundo);
            ciclo.LeConcentradorTimer();
        }
        QVERIFY(posto.Falso->Fila.isEmpty());
        QCOMPARE(ciclo.AbastecimentosAguardando(), qint64(2));
        QVERIFY(ciclo.BancoIndisponivel());
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        QCOMPARE(ciclo.TextoStatus(), recusa ? " Banco recusa os abastecimentos (2 aguardando): chame o técnico"
                                             : " Banco inacessível: 2 abastecimentos aguardando");
        QStringList proximas;
        for (const QList<QVariant>& aviso : avisos)
            proximas << aviso[0].toString().section("Próxima tentativa às ", 1);
        QCOMPARE(proximas, QStringList({"14:03:29.", "14:03:31.", "14:03:35.", "14:03:43.", "14:03:59.", "14:04:31.",
                                        "14:05:31.", "14:06:31.", "14:07:31."}));
        const QString aviso = ciclo.Aviso();
        if (recusa) {
            QVERIFY2(aviso.startsWith("O banco de dados responde, mas recusa gravar o abastecimento: ")
                         && aviso.contains("ENCERRANTEFINAL", Qt::CaseInsensitive) && aviso.contains("Chame o técnico."),
                     qPrintable(aviso));
        } else {
            QVERIFY2(aviso.startsWith("Banco de dados inacessível: 2 abastecimentos aguardam"), qPrintable(aviso));
        }
        QStringList erros = posto.LinhasErro();
        QCOMPARE(erros.size(), 1);
        const QString inicioEspera = recusa ? "09/12/25 14:03:28 O banco de dados responde mas recusa gravar o "
                                              "abastecimento: "
                                            : "09/12/25 14:03:28 Banco de dados inacessível: ";
        QVERIFY2(erros[0].startsWith(inicioEspera)
                     && erros[0].endsWith("Abastecimento aguardando gravação: ID: 0001 Bico: 44 Data: 09/12/2025 "
                                          "Hora: 10:00:00 Litros: 10 Valor: 58,99"),
                 qPrintable(erros[0]));
        QVERIFY(posto.Linhas("Select Id From MvAbast", {"Id"}).isEmpty());

        if (recusa)
            posto.Executa("Alter Table MvAbast Add EncerranteFinal Double Precision");
        else
            conexao.DefineParametro("Database", posto.Banco);
        posto.Relogio.Momento = inicio.addSecs(243);
        ciclo.LeConcentradorTimer(); // stores what waits, in the order read
        QCOMPARE(ciclo.AbastecimentosAguardando(), qint64(0));
        QVERIFY(!ciclo.BancoIndisponivel());
        QCOMPARE(ciclo.TextoStatus(), kProcurandoAbastecimentos);
        QCOMPARE(ciclo.Aviso(), QString());
        QCOMPARE(avisos.last()[0].toString(), QString());
        erros = posto.LinhasErro();
        QCOMPARE(erros.size(), 2);
        QCOMPARE(erros[1], QString(recusa ? "09/12/25 14:07:31 Banco de dados voltou a aceitar o abastecimento."
                                          : "09/12/25 14:07:31 Banco de dados acessível novamente."));
        ciclo.LeConcentradorTimer();
        QCOMPARE(posto.Linhas("Select Id, Sequencia From MvAbast Order By Id", {"Id", "Sequencia"}),
                 QStringList({"1|1", "2|1"}));
        QCOMPARE(posto.LinhasLog().size(), 2);
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
    }

    // Another program holds the parameter row and the nozzles: the waits end after a few seconds,
    // the fueling waits in the journal with no box, the status refresh logs once, and once the rows are
    // let go the fueling is stored and the sequence advanced exactly once.
    void BloqueioDeOutroProgramaTemEsperaLimitada()
    {
        TPostoTeste posto;
        PreparaBicos(posto);
        posto.Executa("Update ParaPosto Set visualizastatusbomba = 'S', SequenciaAbast = 3");
        auto& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        posto.Falso->Status = "LLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLL";
        posto.Falso->Fila << Abastecimento("44", 10, 58990, 589900, 9999, "09/12/2025", "10:00:00");
        TConexao& outro = posto.Conexao();
        outro.IniciaTransacao();
        TConsulta trava(&outro);
        trava.DefineSQL("Update ParaPosto Set CorrigeLitragem = CorrigeLitragem");
        trava.Executa();
        trava.DefineSQL("Update Bombas Set statusbico = 'X'");
        trava.Executa();

        ciclo.LeConcentradorTimer();
        QCOMPARE(ciclo.AbastecimentosAguardando(), qint64(1));
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
        QStringList erros = posto.LinhasErro();
        QCOMPARE(erros.size(), 1);
        QVERIFY2(erros[0].contains("Banco de dados ocupado por outro programa: Erro ao Gravar o AbastecimentoErro ao "
                                   "Atualizar a Sequência de Abastecimentos."),
                 qPrintable(erros[0]));
        // The fueling row is released: only the status refresh meets a lock now, logged once.
        outro.Desfaz();
        outro.IniciaTransacao();
        trava.DefineSQL("Update Bombas Set statusbico = 'X'");
        trava.Executa();
        QCOMPARE(ciclo.TextoStatus(), kStatusBancoOcupado);
        posto.Relogio.Momento = posto.Relogio.Momento.addSecs(1); // the back-off
        ciclo.LeConcentradorTimer();
        ciclo.LeConcentradorTimer();
        QCOMPARE(ciclo.AbastecimentosAguardando(), qint64(0));
        erros = posto.LinhasErro();
        QCOMPARE(erros.size(), 3);
        QVERIFY2(erros[2].contains("Erro ao tentar gravar status do bico 01: "), qPrintable(erros.join('\n')));
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        outro.Desfaz();
        ciclo.LeConcentradorTimer();
        QCOMPARE(posto.Linhas("Select Id, Sequencia From MvAbast", {"Id", "Sequencia"}), QStringList("9999|3"));
        QCOMPARE(posto.Linhas("Select SequenciaAbast From ParaPosto", {"SequenciaAbast"}), QStringList("4"));
        QCOMPARE(posto.Linhas("Select Distinct statusbico From Bombas Where CodConcentrador = '068'",
                              {"statusbico"}),
                 QStringList("L"));
        QCOMPARE(posto.LinhasErro().size(), 3);
    }

    // The log folder cannot be written: the fueling is stored all the same and shown; the program
    // says what is wrong; the kept lines reach the files once the folder is back.
    void PastaDeLogSemGravacao()
    {
        TPostoTeste posto;
        PreparaBicos(posto);
        auto& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        QSignalSpy linhas(&ciclo, &TCicloLeitura::LinhaLogEscrita);
        const QString pasta = posto.Pasta.filePath("logs");
        posto.Relogio.Pasta = pasta + '/'; // not there: every write fails
        posto.Falso->Fila << Abastecimento("44", 10, 58990, 589900, 1, "09/12/2025", "10:00:00")
                          << Abastecimento("45", 10, 58990, 589900, 2, "09/12/2025", "10:01:00"); // no nozzle
        ciclo.LeConcentradorTimer();
        ciclo.LeConcentradorTimer();
        QCOMPARE(posto.Linhas("Select Id From MvAbast", {"Id"}), QStringList("1"));
        QCOMPARE(linhas.size(), 1);
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        QVERIFY(ciclo.LogSemGravacao());
        QCOMPARE(ciclo.TextoStatus(), kStatusLogSemGravacao);
        QVERIFY2(ciclo.Aviso().contains("Os arquivos de log não podem ser gravados (Não foi possível gravar o arquivo "
                                        + pasta),
                 qPrintable(ciclo.Aviso()));

        // The fueling of a nozzle the station does not know is held in the journal; the status bar
        // says so once the log folder is back.
        QVERIFY(QDir().mkpath(pasta));
        ciclo.LeConcentradorTimer();
        QVERIFY(!ciclo.LogSemGravacao());
        QCOMPARE(ciclo.TextoStatus(), TextoStatusRetidos(1));
        QVERIFY(!ciclo.Aviso().contains("Os arquivos de log"));
        QCOMPARE(posto.LinhasLog("logs/LogLinkor09122025"), QStringList(linhas[0][0].toString()));
        const QStringList erros = posto.Arquivo("logs/LogErroConcentrador").split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(erros.size(), 2);
        QVERIFY(erros[0].contains("Abastecimento retido no diário (entrada 2): O sistema não encontrou nenhum bico "
                                  "relacionado com o concentrador 069 ID: 0002"));
        QVERIFY(erros[1].contains("Os arquivos de log voltaram a aceitar gravação"));
    }

    // The journal cannot be written (a disk full from the start, or one that fills up while
    // running): nothing more is read, so the concentrator keeps what the journal cannot take; the
    // status bar and the notice say why; a close keeps the record read at the device; once the disk
    // takes it again, everything is journaled and stored once, in order, and reading goes on.
    void DiarioSemGravacaoParaALeitura_data()
    {
        QTest::addColumn<bool>("desdeOInicio");
        QTest::newRow("disco cheio desde o inicio") << true;
        QTest::newRow("disco cheio durante a leitura") << false;
    }
    void DiarioSemGravacaoParaALeitura()
    {
        QFETCH(bool, desdeOInicio);
        TPostoTeste posto;
        PreparaBicos(posto);
        const QString estacao = posto.Pasta.filePath("estacao");
        QVERIFY(QDir().mkpath(estacao));
        const QByteArray ponto = QFile::encodeName(estacao);
        if (::mount("tmpfs", ponto.constData(), "tmpfs", 0, "size=512k") != 0)
            QFAIL(qPrintable(QString("a small tmpfs could not be mounted on %1 (%2): this test needs root")
                                 .arg(estacao, QString::fromLocal8Bit(std::strerror(errno)))));
        auto desmonta = qScopeGuard([&] { ::umount2(ponto.constData(), MNT_DETACH); });
        QVERIFY(QFile::copy(posto.Pasta.filePath("Caminho.ini"), estacao + "/Caminho.ini"));
        posto.Relogio.Pasta = estacao + '/';
        QFile enchimento(estacao + "/enchimento");
        // Fills the disk to the last byte.
        const auto enche = [&] {
            QVERIFY(enchimento.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            while (enchimento.write(QByteArray(4096, 'x')) == 4096) {
            }
            while (enchimento.write(QByteArray(1, 'x')) == 1) {
            }
            enchimento.close();
        };
        if (desdeOInicio)
            enche();
        TLinkor& motor = posto.IniciaMotor();
        auto& ciclo = motor.Ciclo();
        ciclo.ParaLeitura();
        int id = 0;
        if (!desdeOInicio) {
            posto.Falso->Fila << Abastecimento("44", 10, 58990, 589900, ++id, "09/12/2025", "10:00:00", 1010);
            ciclo.LeConcentradorTimer();
            QCOMPARE(posto.Linhas("Select Count(*) As N From MvAbast", {"N"}), QStringList("1"));
            enche();
        }
        for (int i = 0; i < 2; ++i) {
            ++id;
            posto.Falso->Fila << Abastecimento("44", 10 + id, 58990, 589900 + 58990 * id, id, "09/12/2025",
                                               QByteArray("10:0") + QByteArray::number(id) + ":00", 1010 + 10 * id);
        }
        ciclo.LeConcentradorTimer();
        ciclo.LeConcentradorTimer();
        QVERIFY(ciclo.DiarioSemGravacao());
        QCOMPARE(ciclo.TextoStatus(), kStatusDiarioSemGravacao);
        QVERIFY2(ciclo.Aviso().startsWith("O diário dos abastecimentos não pode ser gravado (")
                     && ciclo.Aviso().contains("A leitura do concentrador está parada"),
                 qPrintable(ciclo.Aviso()));
        QVERIFY2(ciclo.TipoAviso().startsWith("diario-sem-gravacao"), qPrintable(ciclo.TipoAviso()));
        // Nothing read (a journal that could not even be created), or the one record read kept in
        // memory and nothing after it read.
        QVERIFY(!posto.Falso->Fila.isEmpty());
        QCOMPARE(ciclo.RegistroForaDoDiario(), posto.Falso->Fila.size() == 1);
        if (!desdeOInicio)
            QVERIFY(ciclo.RegistroForaDoDiario());
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        // The close meanwhile keeps a record read and not journaled at the device.
        motor.Finaliza();
        QVERIFY(posto.Falso->Finalizacao.has_value());
        QCOMPARE(*posto.Falso->Finalizacao,
                 ciclo.RegistroForaDoDiario() ? TUltimoEntregue::Retem : TUltimoEntregue::Confirma);

        QVERIFY(enchimento.remove());
        ciclo.LeConcentradorTimer();
        ciclo.LeConcentradorTimer();
        QVERIFY(!ciclo.DiarioSemGravacao());
        QVERIFY(!ciclo.RegistroForaDoDiario());
        QVERIFY2(ciclo.TextoStatus().startsWith(kProcurandoAbastecimentos), qPrintable(ciclo.TextoStatus()));
        QCOMPARE(ciclo.Aviso(), QString());
        QVERIFY(posto.Falso->Fila.isEmpty());
        QCOMPARE(posto.Linhas("Select Id From MvAbast Order By Id", {"Id"}),
                 desdeOInicio ? QStringList({"1", "2"}) : QStringList({"1", "2", "3"}));
        QCOMPARE(ciclo.AbastecimentosAguardando(), qint64(0));
        const QStringList erros = posto.Arquivo("estacao/LogErroConcentrador").split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(erros.filter("O diário dos abastecimentos não pode ser gravado: ").size(), 1);
        QCOMPARE(erros.filter("O diário dos abastecimentos voltou a ser gravado.").size(), 1);
    }

    // A journal that is not one (a damaged file) is set aside under another name, never emptied in
    // place; a new one is begun, said once in the error log and in the notice (no box), and the
    // road goes on.
    void DiarioIlegivelEAfastado()
    {
        TPostoTeste posto;
        PreparaBicos(posto);
        const QByteArray lixo = "LIXO" + QByteArray(8192, '\x5a');
        posto.EscreveArquivo("Diario.sqlite", lixo);
        auto& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        const QStringList erros = posto.LinhasErro();
        QCOMPARE(erros.size(), 1);
        QVERIFY2(erros[0].contains("estava ilegível: foi guardado como "), qPrintable(erros[0]));
        const QString afastado = erros[0].section("foi guardado como ", 1).section(" e um diário novo", 0, 0);
        QFile guardado(afastado);
        QVERIFY2(guardado.open(QIODevice::ReadOnly), qPrintable(afastado));
        QCOMPARE(guardado.readAll(), lixo);
        QVERIFY2(ciclo.Aviso().contains("estava ilegível e foi guardado como " + afastado), qPrintable(ciclo.Aviso()));
        QVERIFY2(ciclo.TipoAviso().split(',').contains("diario-afastado"), qPrintable(ciclo.TipoAviso()));
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        posto.Falso->Fila << Abastecimento("44", 10, 58990, 589900, 1, "09/12/2025", "10:00:00", 1010);
        ciclo.LeConcentradorTimer();
        QCOMPARE(posto.Linhas("Select Id From MvAbast", {"Id"}), QStringList("1"));
        QCOMPARE(posto.LinhasErro().size(), 1);
    }

    // A concentrator that does not answer shows in the status bar and the notice until it answers,
    // with one error-log line per silence; with the log folder unwritable as well, no tick raises
    // a box.
    void ConcentradorMudoSemCaixa_data()
    {
        QTest::addColumn<bool>("leitura");
        QTest::newRow("status") << false;
        QTest::newRow("leitura") << true;
    }
    void ConcentradorMudoSemCaixa()
    {
        QFETCH(bool, leitura);
        TPostoTeste posto;
        PreparaBicos(posto);
        posto.Executa("Update ParaPosto Set visualizastatusbomba = 'S'");
        auto& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        QSignalSpy avisos(&ciclo, &TCicloLeitura::AvisoAlterado);
        const QString pasta = posto.Pasta.filePath("logs");
        posto.Relogio.Pasta = pasta + '/'; // not there: every write fails
        bool mudo = true;
        posto.Falso->AoLer = [&] {
            if (leitura && mudo)
                throw EErroSemResposta("O concentrador não respondeu.");
        };
        posto.Falso->StatusMudo = !leitura;
        for (int tick = 0; tick < 5; ++tick)
            ciclo.LeConcentradorTimer();
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        QVERIFY(ciclo.ConcentradorMudo());
        QCOMPARE(ciclo.TextoStatus(), kStatusConcentradorMudo);
        QVERIFY2(ciclo.Aviso().startsWith("O concentrador não responde (O concentrador não respondeu")
                     && ciclo.Aviso().contains("Os arquivos de log não podem ser gravados"),
                 qPrintable(ciclo.Aviso()));
        QCOMPARE(ciclo.TipoAviso(), QString("concentrador-mudo,logs-sem-gravacao"));

        mudo = false;
        posto.Falso->StatusMudo = false;
        posto.Falso->Fila << Abastecimento("44", 10, 58990, 589900, 1, "09/12/2025", "10:00:00");
        ciclo.LeConcentradorTimer();
        QVERIFY(!ciclo.ConcentradorMudo());
        QCOMPARE(ciclo.TextoStatus(), kStatusLogSemGravacao);
        QVERIFY(!ciclo.Aviso().contains("concentrador"));
        QCOMPARE(ciclo.TipoAviso(), QString("logs-sem-gravacao"));
        QVERIFY(QDir().mkpath(pasta));
        ciclo.LeConcentradorTimer();
        QCOMPARE(ciclo.TextoStatus(), kProcurandoAbastecimentos);
        QCOMPARE(ciclo.Aviso(), QString());
        QCOMPARE(ciclo.TipoAviso(), QString());
        QCOMPARE(posto.Linhas("Select Id From MvAbast", {"Id"}), QStringList("1"));
        const QStringList erros = posto.Arquivo("logs/LogErroConcentrador").split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(erros.filter("O concentrador não respondeu").size(), 1);
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
    }

    void ConexaoPerdidaNoStatusNaoDerrubaOPrograma()
    {
        // The connection dies while the status refresh fails on position 2: the refresh reports
        // an error and its clean-up lets the dead transaction go without raising again.
        TPostoTeste posto;
        posto.Executa("Create Exception ERRO_STATUS 'status recusado'");
        posto.Executa("Create Trigger RECUSA_005 For Bombas Before Update As Begin "
                      "If (New.CodConcentrador = '005') Then Exception ERRO_STATUS; End");
        auto& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        posto.Falso->Status = "LP"; // position 2 changes, so its nozzles are written
        posto.Conexao(); // attached before the program's connection is cut
        posto.Relogio.AoConsultar = [&] {
            posto.Relogio.AoConsultar = nullptr;
            posto.Executa("Delete From MON$ATTACHMENTS Where MON$ATTACHMENT_ID <> Current_Connection");
        };
        QVERIFY_THROWS_EXCEPTION(EErro, ciclo.AtualizaStatusBicos());
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
    }

    void LogDoDiaAposMeiaNoiteEReinicio()
    {
        TPostoTeste posto;
        PreparaBicos(posto);
        auto& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ProcessaAbastecimento(Abastecimento("44", 10, 58990, 589900, 1, "09/12/2025", "23:59:00"));
        posto.Relogio.Momento = QDateTime(QDate(2025, 12, 10), QTime(0, 0, 5));
        ciclo.ProcessaAbastecimento(Abastecimento("44", 10, 58990, 589900, 2, "10/12/2025", "00:00:01"));
        QCOMPARE(posto.LinhasLog("LogLinkor09122025").size(), 1);
        QCOMPARE(posto.LinhasLog("LogLinkor10122025").size(), 1);
        ciclo.ProcessaAbastecimento(Abastecimento("44", 10, 58990, 589900, 3, "10/12/2025", "00:00:02"));

        TLinkor& reiniciado = posto.CriaMotor();
        QSignalSpy cabecalho(&reiniciado.Ciclo(), &TCicloLeitura::CabecalhoLogDefinido);
        QSignalSpy recarga(&reiniciado.Ciclo(), &TCicloLeitura::LogRecarregado);
        reiniciado.Inicia();
        QCOMPARE(recarga.size(), 1);
        QCOMPARE(recarga[0][0].toStringList(), posto.LinhasLog("LogLinkor10122025"));
        QVERIFY(cabecalho[0][0].toStringList().first().startsWith(
            "             ARQUIVO DE LOG DO CONCENTRADOR COMPANYTEC  -  10/12/2025"));
    }

    void MontaCanaisDaTabela()
    {
        QCOMPARE(TCicloLeitura::MontaCanais("004"), QStringList({"004", "068", "132", "196"}));
        QCOMPARE(TCicloLeitura::MontaCanais("035"), QStringList({"035", "099", "163", "227"}));
        QCOMPARE(TCicloLeitura::MontaCanais("133"), QStringList({"005", "069", "133", "197"}));
        QCOMPARE(TCicloLeitura::MontaCanais("036"), QStringList({"", "", "", ""}));
    }

    void StatusDosBicos()
    {
        TPostoTeste posto;
        posto.Executa("Delete From Bombas");
        // One nozzle per code of positions 1 to 8 on every channel, and one off the concentrator.
        for (int p = 1; p <= 8; ++p)
            for (int k = 0; k < 4; ++k) {
                const QString codigo = QString::number(p + 3 + 64 * k).rightJustified(3, '0');
                posto.Executa(QString("Insert Into Bombas (CodBico, Descricao, CodConcentrador, statusbico) "
                                      "Values ('B%1', 'x', '%1', '-')").arg(codigo));
            }
        posto.Executa("Insert Into Bombas (CodBico, Descricao, CodConcentrador, statusbico) Values ('SEM', 'x', '', '-')");
        auto& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        auto status = [&] {
            return posto.Linhas("Select CodBico, statusbico From Bombas Order By CodBico", {"CodBico", "statusbico"})
                .join(' ');
        };
        const QString antes = status();
        posto.Falso->Status = "";
        ciclo.AtualizaStatusBicos();
        QCOMPARE(status(), antes);

        // No answer from the concentrator writes nothing (not "every nozzle free"), and is logged
        // once for the whole silence.
        posto.Falso->StatusMudo = true;
        ciclo.AtualizaStatusBicos();
        ciclo.AtualizaStatusBicos();
        QCOMPARE(status(), antes);
        QCOMPARE(posto.LinhasErro(),
                 QStringList("09/12/25 14:03:28 O concentrador não respondeu à leitura do status dos bicos."));
        posto.Falso->StatusMudo = false;

        posto.Falso->Status = "LPDB" + QString(29, 'E'); // 33 letters; "D" is not a status letter
        ciclo.AtualizaStatusBicos();
        const QStringList linhas = posto.Linhas("Select CodConcentrador, statusbico From Bombas Order By CodBico",
                                                {"CodConcentrador", "statusbico"});
        for (const char* esperado : {"004|L", "068|L", "132|L", "196|L", "005|P", "197|P", "006|-", "070|-",
                                        "134|-", "198|-", "007|B", "199|B", "008|E", "011|E", "|-"})
            QVERIFY2(linhas.contains(esperado), qPrintable(QString(esperado) + " em " + linhas.join(' ')));
        QCOMPARE(posto.LinhasErro().size(), 1);
    }

    void StatusSoGravaLetrasMudadas()
    {
        // A refresh writes only the nozzles whose letter changed, and a letter changed meanwhile
        // by another program is written back once the letters are read again.
        TPostoTeste posto;
        posto.Executa("Create Generator ATUALIZACOES");
        posto.Executa("Create Trigger CONTA_ATUALIZACOES For Bombas After Update As "
                      "Declare n Double Precision; Begin n = Gen_Id(ATUALIZACOES, 1); End");
        auto atualizacoes = [&] {
            return posto.Linhas("Select Gen_Id(ATUALIZACOES, 0) As N From RDB$DATABASE", {"N"}).value(0).toInt();
        };
        auto status = [&] {
            return posto.Linhas("Select CodConcentrador, statusbico From Bombas Where CodConcentrador Is Not Null "
                                "Order By CodConcentrador", {"CodConcentrador", "statusbico"}).join(' ');
        };
        auto& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        posto.Falso->Status = "LP"; // every demo nozzle holds "L"
        ciclo.AtualizaStatusBicos();
        QCOMPARE(atualizacoes(), 4);
        ciclo.AtualizaStatusBicos();
        QCOMPARE(atualizacoes(), 4);
        posto.Executa("Update Bombas Set statusbico = 'B' Where CodConcentrador = '069'");
        posto.Executa("Update Bombas Set statusbico = Null Where CodConcentrador = '004'");
        QCOMPARE(atualizacoes(), 6);
        // At rest the refresh trusts what it last read and wrote (two refreshes ago)...
        for (int i = 2; i < TCicloLeitura::kRefreshesReleituraStatus; ++i)
            ciclo.AtualizaStatusBicos();
        QCOMPARE(atualizacoes(), 6);
        // ...until it reads the letters again.
        ciclo.AtualizaStatusBicos();
        QCOMPARE(atualizacoes(), 8);
        QCOMPARE(status(), QString("004|L 005|P 068|L 069|P 132|L 133|P 196|L 197|P"));
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());

        // A tick without the monitor forgets them: the first refresh after it reads them again.
        posto.Executa("Update Bombas Set statusbico = 'B' Where CodConcentrador = '133'");
        posto.Executa("Update ParaPosto Set visualizastatusbomba = 'N'");
        posto.Motor->Parametros().Abre();
        ciclo.LeConcentradorTimer();
        ciclo.AtualizaStatusBicos();
        QCOMPARE(status(), QString("004|L 005|P 068|L 069|P 132|L 133|P 196|L 197|P"));
    }

    void FalhaDoStatusNaPosicao7()
    {
        TPostoTeste posto;
        posto.Executa("Create Exception ERRO_STATUS 'status recusado'");
        posto.Executa("Create Trigger RECUSA_010 For Bombas Before Update As Begin "
                      "If (New.CodConcentrador = '010') Then Exception ERRO_STATUS; End");
        posto.Executa("Delete From Bombas");
        for (const QString codigo : {"004", "009", "010", "011"})
            posto.Executa(QString("Insert Into Bombas (CodBico, Descricao, CodConcentrador, statusbico) "
                                  "Values ('B%1', 'x', '%1', '-')").arg(codigo));
        auto& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        posto.Falso->Status = "LLLLLLLL";
        try {
            ciclo.AtualizaStatusBicos();
            QFAIL("sem erro");
        } catch (const EErro& e) {
            QVERIFY2(e.Mensagem().startsWith("Erro ao tentar gravar o status do bico") && e.Mensagem().contains("status recusado"),
                     qPrintable(e.Mensagem()));
        }
        QCOMPARE(posto.LinhasErro(), QStringList("09/12/25 14:03:28 Erro ao tentar gravar status do bico 07"));
        QCOMPARE(posto.Linhas("Select CodConcentrador, statusbico From Bombas Order By CodConcentrador",
                              {"CodConcentrador", "statusbico"}),
                 QStringList({"004|L", "009|L", "010|-", "011|-"}));
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());

        // Through the timer: the default error box shows it, no tick runs while it is open (so
        // boxes never stack), and polling goes on once it is closed.
        int abertas = 0;
        int maisAbertas = 0;
        int leiturasComCaixaAberta = 0;
        posto.Respondedor.AoMostrar = [&] {
            maisAbertas = std::max(maisAbertas, ++abertas);
            const int leituras = posto.Falso->LeiturasPlanas;
            QTest::qWait(30); // the operator reads the box; the event loop runs
            leiturasComCaixaAberta += posto.Falso->LeiturasPlanas - leituras;
            --abertas;
        };
        ciclo.DefineIntervaloLeitura(1);
        QTRY_VERIFY_WITH_TIMEOUT(posto.Respondedor.Caixas.size() >= 3, 30000);
        ciclo.ParaLeitura();
        QCOMPARE(posto.Respondedor.Caixas[0].Tipo, TTipoMensagem::Erro);
        QVERIFY(posto.Respondedor.Caixas[0].Texto.endsWith('.'));
        QCOMPARE(maisAbertas, 1);
        QCOMPARE(leiturasComCaixaAberta, 0);
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
    }
};

int main(int argc, char** argv)
{
    QCoreApplication aplicacao(argc, argv);
    TesteAbastecimentos teste;
    return QTest::qExec(&teste, argc, argv);
}
#include "TesteAbastecimentos.moc"
