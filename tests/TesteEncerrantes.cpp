#include "PostoTeste.h"
#include "ServicoBloqueio.h"
#include "StatusBicos.h"
#include "ServicoEncerrantes.h"
#include "Textos.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

const QStringList kColunas = {"CodTurno", "CodBico", "EncerranteIni", "EncerranteFim", "Saida", "DataLeitura",
                              "HoraLeitura"};

// Replaces the demo's shifts by one open shift; the moments are day.month.year texts with a time.
void Turno(TPostoTeste& posto, const QString& controle, const QString& dtMovimento, const QString& hrAbertura,
           const QString& dtTermino, const QString& hrTermino, bool apagaOutros = true)
{
    if (apagaOutros)
        posto.Executa("Delete From MvTurno");
    auto valor = [](const QString& t) { return t.isEmpty() ? QString("NULL") : "'" + t + "'"; };
    posto.Executa(QString("Insert Into MvTurno (Controle, CODEMPRESA, CodTurno, CODVENDEDOR, DTMOVIMENTO, HRABERTURA, "
                          "DtTermino, HrTermino, STATUS) Values ('%1', '00', '1', '001', %2, %3, %4, %5, 'N')")
                      .arg(controle, valor(dtMovimento), valor(hrAbertura), valor(dtTermino), valor(hrTermino)));
}

// The test clock's day (09/12/2025, 14:03:28) inside one shift.
void TurnoDoDia(TPostoTeste& posto)
{
    Turno(posto, "000777", "09.12.2025", "09.12.2025 06:00:00", "09.12.2025", "09.12.2025 22:00:00");
}

QStringList Encerrantes(TPostoTeste& posto)
{
    return posto.Linhas("Select * From MvEncerrantes Order By CodBico", kColunas);
}

// The rows as a capture leaves them: these marked and read, each Final a little past its Inicial.
void MarcaELe(TServicoEncerrantes& servico, QList<TLinhaEncerrante>& linhas, const QList<int>& indices,
              const TConfiguracaoRegional& regional)
{
    for (int i : indices) {
        TLinhaEncerrante& linha = linhas[i];
        linha.Marcado = linha.Lido = true;
        linha.Final = FormataNumero("0.000", regional.LeNumero(linha.Inicial) + 10 + i, regional);
        linha.Saida = servico.CalculaSaida(linha.Final, linha.Inicial);
    }
}

// What the shift held before the capture: every nozzle with a real reading (212,5 sold).
void LeiturasAnteriores(TPostoTeste& posto)
{
    for (int i = 1; i <= 8; ++i)
        posto.Executa(QString("Insert Into MvEncerrantes Values ('00', '000777', '0%1', 1000, 1212.5, 212.5, "
                              "'09.12.2025', '13:00:00')")
                          .arg(i));
}

} // namespace

class TesteEncerrantes : public QObject {
    Q_OBJECT
private slots:
    void GradeComOsBicosDoPosto()
    {
        TPostoTeste posto;
        posto.IniciaMotor();
        TServicoEncerrantes servico(*posto.Contexto);
        const QList<TLinhaEncerrante> linhas = servico.CarregaBicos();
        QCOMPARE(linhas.size(), 9);
        const TLinhaEncerrante& primeira = linhas.first();
        QCOMPARE(QStringList({primeira.CodBico, primeira.Descricao, primeira.Inicial, primeira.Final, primeira.Saida,
                              primeira.CodConcentrador}),
                 QStringList({"01", "BICO 01 GASOLINA COMUM", "152340,125", "152340,125", "0,000", "004"}));
        QCOMPARE(linhas.last().CodConcentrador, QString()); // the nozzle off the concentrator is listed too
        QCOMPARE(linhas.last().Inicial, QString("0,000"));
    }

    void LeituraDosMarcados_data()
    {
        QTest::addColumn<QByteArray>("nomeLido");
        QTest::addColumn<double>("valor");
        QTest::addColumn<QString>("final");
        QTest::addColumn<QString>("saida");
        QTest::addColumn<QString>("gravado");
        // A reading that is not positive or names another nozzle leaves the nozzle unread: its
        // Final stays the Inicial, never 0 (a whole totalizer as a negative sale).
        // Only a reading is recorded: an unread marked nozzle stops the recording.
        QTest::newRow("lido") << QByteArray("44") << 254010.5 << "254010,500" << "8,750" << "254010,5|8,75";
        QTest::newRow("zero") << QByteArray("44") << 0.0 << "254001,750" << "0,000" << "";
        QTest::newRow("negativo") << QByteArray("44") << -5.0 << "254001,750" << "0,000" << "";
        QTest::newRow("de outro bico") << QByteArray("68") << 254010.5 << "254001,750" << "0,000" << "";
    }
    void LeituraDosMarcados()
    {
        QFETCH(QByteArray, nomeLido);
        QFETCH(double, valor);
        QFETCH(QString, final);
        QFETCH(QString, saida);
        QFETCH(QString, gravado);
        TPostoTeste posto;
        posto.IniciaMotor();
        TServicoEncerrantes servico(*posto.Contexto);
        QList<TLinhaEncerrante> linhas = servico.CarregaBicos();
        linhas[2].Marcado = true; // nozzle 03 on 068: asked as "44", the concentrator's code
        posto.Falso->Encerrantes["44"] = TConcentradorFalso::Encerrante(nomeLido, valor);
        QStringList status;
        const QStringList naoLidos =
            servico.LeEncerrantes(linhas, [&](int i, const QString& texto) { status << QString::number(i) + texto; });
        QCOMPARE(naoLidos, final == linhas[2].Inicial ? QStringList("03") : QStringList());
        QCOMPARE(linhas[2].Lido, naoLidos.isEmpty());
        QCOMPARE(posto.Falso->Comandos, QStringList("LerEncerrante L 44"));
        QCOMPARE(linhas[2].Final, final);
        QCOMPARE(linhas[2].Saida, saida);
        QCOMPARE(linhas[1].Final, linhas[1].Inicial);
        QCOMPARE(status, QStringList("2Aguarde, Pesquisando Encerrante do Bico: 03"));
        QVERIFY(posto.Respondedor.Caixas.isEmpty()); // the service opens no box

        // Recorded as shown, and nothing else; or nothing at all.
        TurnoDoDia(posto);
        const TResultadoGravacao resultado = servico.GravaEncerrantes(linhas);
        QCOMPARE(resultado.Encerra, !gravado.isEmpty());
        if (gravado.isEmpty())
            QCOMPARE(resultado.Mensagens,
                     QStringList("Encerrante não lido dos bicos: 03\rNada foi gravado: capture de novo ou desmarque "
                                 "esses bicos."));
        QCOMPARE(posto.Linhas("Select EncerranteFim, Saida From MvEncerrantes", {"EncerranteFim", "Saida"}),
                 gravado.isEmpty() ? QStringList() : QStringList(gravado));
    }

    void CadaCanalPeloCodigoDoConcentrador()
    {
        // Nozzles on channels 1 to 4 are asked by their own code, and each answer lands on its
        // row; the nozzle off the concentrator is not asked, and if marked it is named unread.
        TPostoTeste posto;
        posto.IniciaMotor();
        TServicoEncerrantes servico(*posto.Contexto);
        QList<TLinhaEncerrante> linhas = servico.CarregaBicos();
        for (TLinhaEncerrante& linha : linhas)
            linha.Marcado = true;
        const QStringList codigos{"04", "05", "44", "45", "84", "85", "C4", "C5"};
        for (int i = 0; i < codigos.size(); ++i)
            posto.Falso->Encerrantes[codigos[i]] =
                TConcentradorFalso::Encerrante(codigos[i].toLatin1(), 1000 * (i + 1) + 0.5);
        QCOMPARE(servico.LeEncerrantes(linhas), QStringList("09"));
        QStringList pedidos;
        for (const QString& c : codigos)
            pedidos << "LerEncerrante L " + c;
        QCOMPARE(posto.Falso->Comandos, pedidos);
        QCOMPARE(linhas[4].Final, QString("5000,500")); // 05 on 132, channel 3
        QCOMPARE(linhas[7].Final, QString("8000,500")); // 08 on 197, channel 4
        QCOMPARE(linhas[8].Final, linhas[8].Inicial);
        QVERIFY(linhas[7].Lido && !linhas[8].Lido);
        QVERIFY(!TServicoEncerrantes::Marcavel(linhas[8]));
        QCOMPARE(TServicoEncerrantes::TextoLeitura({}), QString("Ok, encerrantes lidos com sucesso..."));
    }

    void FalhaNaLeituraSegueENomeiaOBico()
    {
        TPostoTeste posto;
        posto.IniciaMotor();
        TServicoEncerrantes servico(*posto.Contexto);
        QList<TLinhaEncerrante> linhas = servico.CarregaBicos();
        for (int i : {0, 1, 2, 3})
            linhas[i].Marcado = true;
        posto.Falso->Encerrantes["04"] = TConcentradorFalso::Encerrante("04", 152350);
        posto.Falso->Encerrantes["44"] = TConcentradorFalso::Encerrante("44", 254010.5);
        posto.Falso->CodigosRecusados << "05"; // the request fails, as on a silent line
        const QStringList naoLidos = servico.LeEncerrantes(linhas);
        QCOMPARE(naoLidos, QStringList({"02", "04"})); // 04 got no answer for its code
        QCOMPARE(posto.Falso->Comandos,
                 QStringList({"LerEncerrante L 04", "LerEncerrante L 05", "LerEncerrante L 44", "LerEncerrante L 45"}));
        QCOMPARE(linhas[0].Final, QString("152350,000"));
        QCOMPARE(linhas[1].Final, linhas[1].Inicial);
        QCOMPARE(linhas[2].Final, QString("254010,500"));
        QVERIFY(linhas[0].Lido && !linhas[1].Lido && linhas[2].Lido && !linhas[3].Lido);

        // A nozzle read before keeps that reading when asking again fails.
        posto.Falso->CodigosRecusados << "04";
        QCOMPARE(servico.LeEncerrantes(linhas), QStringList({"01", "02", "04"}));
        QCOMPARE(linhas[0].Final, QString("152350,000"));
        QVERIFY(linhas[0].Lido);
        QCOMPARE(TServicoEncerrantes::TextoLeitura(naoLidos), QString("Encerrantes não lidos dos bicos: 02, 04"));
        QCOMPARE(TServicoEncerrantes::MensagemNaoLidos(naoLidos),
                 QString("Erro ao consultar o encerrante do Bico: 02, 04\rO Final desses bicos não foi alterado."));
    }

    void TurnoCobreOMomento_data()
    {
        QTest::addColumn<QString>("dtMovimento");
        QTest::addColumn<QString>("hrAbertura");
        QTest::addColumn<QString>("dtTermino");
        QTest::addColumn<QString>("hrTermino");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("hora");
        QTest::addColumn<bool>("cobre");
        const QString ab = "09.12.2025 22:00:00", te = "10.12.2025 06:00:00";
        QTest::newRow("noturno 23:30") << "09.12.2025" << ab << "10.12.2025" << te << "09/12/2025" << "23:30:00" << true;
        QTest::newRow("noturno 05:59") << "09.12.2025" << ab << "10.12.2025" << te << "10/12/2025" << "05:59:00" << true;
        QTest::newRow("noturno 06:01") << "09.12.2025" << ab << "10.12.2025" << te << "10/12/2025" << "06:01:00" << false;
        QTest::newRow("noturno abertura") << "09.12.2025" << ab << "10.12.2025" << te << "09/12/2025" << "22:00:00" << true;
        QTest::newRow("noturno 21:59") << "09.12.2025" << ab << "10.12.2025" << te << "09/12/2025" << "21:59:59" << false;
        QTest::newRow("noturno dia seguinte ao fim") << "09.12.2025" << ab << "10.12.2025" << te << "11/12/2025" << "01:00:00" << false;
        QTest::newRow("dia de dentro") << "08.12.2025" << ab << "10.12.2025" << te << "09/12/2025" << "03:00:00" << true;
        QTest::newRow("mesmo dia, termino") << "09.12.2025" << "09.12.2025 06:00:00" << "09.12.2025"
                                            << "09.12.2025 14:00:00" << "09/12/2025" << "14:00:00" << true;
        QTest::newRow("mesmo dia, depois") << "09.12.2025" << "09.12.2025 06:00:00" << "09.12.2025"
                                           << "09.12.2025 14:00:00" << "09/12/2025" << "14:00:01" << false;
        // Times stored without their day, as a time field keeps them.
        QTest::newRow("horas sem dia") << "09.12.2025" << "30.12.1899 06:00:00" << "09.12.2025"
                                       << "30.12.1899 14:00:00" << "09/12/2025" << "13:00:00" << true;
        QTest::newRow("sem termino") << "09.12.2025" << ab << "" << "" << "09/12/2025" << "23:00:00" << false;
        QTest::newRow("sem hora de termino") << "09.12.2025" << ab << "10.12.2025" << "" << "09/12/2025" << "23:00:00" << false;
    }
    void TurnoCobreOMomento()
    {
        QFETCH(QString, dtMovimento);
        QFETCH(QString, hrAbertura);
        QFETCH(QString, dtTermino);
        QFETCH(QString, hrTermino);
        QFETCH(QString, data);
        QFETCH(QString, hora);
        QFETCH(bool, cobre);
        TPostoTeste posto;
        posto.IniciaMotor();
        Turno(posto, "000042", dtMovimento, hrAbertura, dtTermino, hrTermino);
        TServicoEncerrantes servico(*posto.Contexto);
        QCOMPARE(servico.VerificaTurnoAberto(data, hora), cobre);
        if (cobre)
            QCOMPARE(servico.Turno().Controle, QString("000042"));
    }

    void ConsultaDosTurnos()
    {
        TFiltroTurno aberto;
        aberto.Status = "N";
        aberto.Ordem = TServicoEncerrantes::kFiltroOrdem;
        QCOMPARE(TRepositorioTurnos::SQLMvTurno(aberto),
                 QString("SELECT MVTURNO.*, TURNOS.DESCRICAO, VENDEND.NOME FROM MVTURNO LEFT JOIN TURNOS  ON "
                         "(MVTURNO.CODTURNO    = TURNOS.CODTURNO)  LEFT JOIN VENDEND ON (MVTURNO.CODVENDEDOR = "
                         "VENDEND.CODVENDEDOR) WHERE (STATUS = :PSTATUS)  ORDER BY CODEMPRESA,DTMOVIMENTO,HRABERTURA"));
        QCOMPARE(TRepositorioTurnos::SQLMvTurno({}).endsWith("VENDEND.CODVENDEDOR) "), true);

        // Every filter, in its fixed order, and the statement runs.
        TPostoTeste posto;
        posto.IniciaMotor();
        Turno(posto, "000042", "09.12.2025", "09.12.2025 06:00:00", "09.12.2025", "09.12.2025 14:00:00");
        posto.Executa("Update MvTurno Set DTFECHAMENTO = '09.12.2025', HRFECHAMENTO = '14:00:00'");
        TFiltroTurno todos{"00", "09/12/2025", "1", "001", "N", "09/12/2025", "14:00:00", "000042", "CODEMPRESA"};
        const QString sql = TRepositorioTurnos::SQLMvTurno(todos);
        QVERIFY2(sql.contains("WHERE (CODEMPRESA = :PCODEMPRESA) AND (DTMOVIMENTO = :PDTMOVIMENTO) AND (CODTURNO = "
                              ":PCODTURNO) AND (CODVENDEDOR = :PCODVENDEDOR) AND (DTFECHAMENTO = :PDTFECHAMENTO) AND "
                              "(HRFECHAMENTO = :PHRFECHAMENTO) AND (STATUS = :PSTATUS) AND(CONTROLE = :PCONTROLE)  "
                              "ORDER BY CODEMPRESA"),
                 qPrintable(sql));
        TServicoEncerrantes servico(*posto.Contexto);
        QVERIFY(servico.AbreMvTurno(todos));
        todos.Controle = "000043";
        QVERIFY(!servico.AbreMvTurno(todos));
    }

    void SoGravaOQueEstaCapturaLeu_data()
    {
        QTest::addColumn<QList<int>>("marcados");
        QTest::addColumn<QList<int>>("lidos");
        QTest::addColumn<QString>("mensagem");
        QTest::addColumn<QList<int>>("gravados");
        const QString naoLido = "Encerrante não lido dos bicos: %1\rNada foi gravado: capture de novo ou desmarque "
                                "esses bicos.";
        const QString sucesso = "Encerrantes gravados com sucesso!";
        QTest::newRow("nada marcado nem lido") << QList<int>{} << QList<int>{} << "Nenhum bico marcado: nada foi gravado."
                                               << QList<int>{};
        QTest::newRow("lidos e desmarcados") << QList<int>{} << QList<int>{0, 1} << "Nenhum bico marcado: nada foi gravado."
                                             << QList<int>{};
        QTest::newRow("todos marcados, nenhum lido") << QList<int>{0, 1, 2, 3, 4, 5, 6, 7} << QList<int>{}
                                                     << naoLido.arg("01, 02, 03, 04, 05, 06, 07, 08") << QList<int>{};
        QTest::newRow("um marcado sem leitura") << QList<int>{2, 5} << QList<int>{2} << naoLido.arg("06")
                                                << QList<int>{};
        QTest::newRow("dois marcados e lidos") << QList<int>{2, 5} << QList<int>{2, 5} << sucesso << QList<int>{2, 5};
        QTest::newRow("lido e desmarcado") << QList<int>{5} << QList<int>{2, 5} << sucesso << QList<int>{5};
        QTest::newRow("todos") << QList<int>{0, 1, 2, 3, 4, 5, 6, 7} << QList<int>{0, 1, 2, 3, 4, 5, 6, 7} << sucesso
                               << QList<int>{0, 1, 2, 3, 4, 5, 6, 7};
    }
    void SoGravaOQueEstaCapturaLeu()
    {
        // A row is recorded only when marked and read in this capture; the shift's other rows keep
        // their readings, and nothing is written while a marked nozzle is unread.
        QFETCH(QList<int>, marcados);
        QFETCH(QList<int>, lidos);
        QFETCH(QString, mensagem);
        QFETCH(QList<int>, gravados);
        TPostoTeste posto;
        posto.IniciaMotor();
        TurnoDoDia(posto);
        LeiturasAnteriores(posto);
        const QStringList antes = Encerrantes(posto);
        TServicoEncerrantes servico(*posto.Contexto);
        QList<TLinhaEncerrante> linhas = servico.CarregaBicos();
        MarcaELe(servico, linhas, lidos, posto.Regional);
        for (int i = 0; i < linhas.size(); ++i)
            linhas[i].Marcado = marcados.contains(i);
        QStringList status;
        const TResultadoGravacao resultado =
            servico.GravaEncerrantes(linhas, [&](const QString& texto) { status << texto; });
        QCOMPARE(resultado.Mensagens, QStringList(mensagem));
        QCOMPARE(resultado.Encerra, !gravados.isEmpty());
        QCOMPARE(status.size(), gravados.size());
        QStringList esperado = antes;
        for (int i : gravados) {
            const TLinhaEncerrante& l = linhas[i];
            esperado[i] = QString("000777|%1|%2|%3|%4|09/12/2025 14:03:28|14:03:28")
                              .arg(l.CodBico, QString(l.Inicial).remove(QRegularExpression(",?0+$")),
                                   QString(l.Final).remove(QRegularExpression(",?0+$")),
                                   QString(l.Saida).remove(QRegularExpression(",?0+$")));
        }
        QCOMPARE(Encerrantes(posto), esperado);
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
    }

    void DoisTurnosGravaNoMaisAntigo()
    {
        // Only the later shift covers now; the rows still go under the earlier one's key.
        TPostoTeste posto;
        posto.IniciaMotor();
        Turno(posto, "000002", "09.12.2025", "09.12.2025 14:00:00", "09.12.2025", "09.12.2025 22:00:00");
        Turno(posto, "000001", "09.12.2025", "09.12.2025 06:00:00", "09.12.2025", "09.12.2025 14:00:00", false);
        TServicoEncerrantes servico(*posto.Contexto);
        QList<TLinhaEncerrante> linhas = servico.CarregaBicos();
        MarcaELe(servico, linhas, {0}, posto.Regional);
        QVERIFY(servico.GravaEncerrantes(linhas).Encerra);
        QCOMPARE(servico.Turno().Controle, QString("000002"));
        QCOMPARE(posto.Linhas("Select Distinct CodTurno From MvEncerrantes", {"CodTurno"}), QStringList("000001"));
    }

    void SemTurnoNaoGrava()
    {
        TPostoTeste posto;
        posto.IniciaMotor();
        Turno(posto, "000001", "09.12.2025", "09.12.2025 06:00:00", "09.12.2025", "09.12.2025 14:00:00");
        TServicoEncerrantes servico(*posto.Contexto);
        QList<TLinhaEncerrante> linhas = servico.CarregaBicos();
        MarcaELe(servico, linhas, {0}, posto.Regional);
        TResultadoGravacao resultado = servico.GravaEncerrantes(linhas);
        QVERIFY(!resultado.Encerra);
        QCOMPARE(resultado.Mensagens, QStringList({"Não há turno aberto para este usuário!",
                                                   "Não há turno aberto. Os encerrantes não serão gravados!"}));
        posto.Executa("Delete From MvTurno");
        resultado = servico.GravaEncerrantes(linhas);
        QVERIFY(!resultado.Encerra);
        QCOMPARE(resultado.Mensagens.size(), 2);
        QVERIFY(Encerrantes(posto).isEmpty());
    }

    void FalhaAoGravarDesfazTudo_data()
    {
        QTest::addColumn<QString>("gatilho");
        QTest::newRow("no bico 05") << "Create Trigger RECUSA_05 For MvEncerrantes Before Insert As Begin "
                                       "If (New.CodBico = '05') Then Exception ERRO_GRAVACAO; End";
        QTest::newRow("na confirmacao") << "Create Trigger RECUSA_COMMIT On Transaction Commit As Begin "
                                           "If (Exists(Select 1 From MvEncerrantes)) Then Exception ERRO_GRAVACAO; End";
    }
    void FalhaAoGravarDesfazTudo()
    {
        QFETCH(QString, gatilho);
        TPostoTeste posto;
        posto.Executa("Create Exception ERRO_GRAVACAO 'gravação recusada'");
        posto.Executa(gatilho);
        posto.IniciaMotor();
        TurnoDoDia(posto);
        TServicoEncerrantes servico(*posto.Contexto);
        QList<TLinhaEncerrante> linhas = servico.CarregaBicos();
        MarcaELe(servico, linhas, {0, 1, 2, 3, 4, 5, 6, 7}, posto.Regional);
        const TResultadoGravacao resultado = servico.GravaEncerrantes(linhas);
        QVERIFY(!resultado.Encerra); // the dialog stays open with its readings
        QCOMPARE(resultado.Mensagens.size(), 1);
        const QString texto = resultado.Mensagens[0];
        QVERIFY2(texto.startsWith("Erro ao gravar as informações no banco de dados.\r") && texto.contains("gravação recusada"),
                 qPrintable(texto));
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
        QVERIFY(Encerrantes(posto).isEmpty());
        // A tick afterwards has nothing of the recording to commit.
        posto.Ciclo().LeConcentradorTimer();
        QVERIFY(Encerrantes(posto).isEmpty());
    }

    void TickDuranteAGravacaoEspera()
    {
        // A poll tick in the middle of the recording neither reads nor commits; the next one
        // stores its fueling.
        TPostoTeste posto;
        posto.IniciaMotor();
        posto.Ciclo().ParaLeitura();
        TurnoDoDia(posto);
        posto.Falso->Fila << Abastecimento("44", 10, 58990, 589900, 37);
        TServicoEncerrantes servico(*posto.Contexto);
        QList<TLinhaEncerrante> linhas = servico.CarregaBicos();
        MarcaELe(servico, linhas, {0, 1, 2, 3, 4, 5, 6, 7}, posto.Regional);
        int ticks = 0;
        QVERIFY(servico.GravaEncerrantes(linhas, [&](const QString&) {
            posto.Ciclo().LeConcentradorTimer();
            ++ticks;
            QCOMPARE(posto.Linhas("Select Count(*) As N From MvEncerrantes", {"N"}), QStringList("0"));
        }).Encerra);
        QCOMPARE(ticks, 8);
        QCOMPARE(posto.Falso->LeiturasPlanas, 0);
        QCOMPARE(Encerrantes(posto).size(), 8);
        posto.Ciclo().LeConcentradorTimer();
        QCOMPARE(posto.Linhas("Select Id From MvAbast", {"Id"}), QStringList("37"));
    }

    void LidoComPontoDecimal()
    {
        // Under a full stop as decimal separator the reading is shown and stored as read.
        TPostoTeste posto;
        posto.Regional.SeparadorDecimal = '.';
        posto.Regional.SeparadorMilhar = ',';
        posto.IniciaMotor();
        TurnoDoDia(posto);
        TServicoEncerrantes servico(*posto.Contexto);
        QList<TLinhaEncerrante> linhas = servico.CarregaBicos();
        QCOMPARE(linhas[0].Inicial, QString("152340.125"));
        linhas[0].Marcado = true;
        posto.Falso->Encerrantes["04"] = TConcentradorFalso::Encerrante("04", 152350.5);
        QVERIFY(servico.LeEncerrantes(linhas).isEmpty());
        QCOMPARE(linhas[0].Final, QString("152350.500"));
        QCOMPARE(linhas[0].Saida, QString("10.375"));
        QVERIFY(servico.GravaEncerrantes(linhas).Encerra);
        QCOMPARE(posto.Linhas("Select EncerranteFim, Saida From MvEncerrantes Where CodBico = '01'",
                              {"EncerranteFim", "Saida"}),
                 QStringList("152350,5|10,375"));
    }

    void PostoSemBicosNaoGravaLinhaVazia()
    {
        TPostoTeste posto;
        posto.Executa("Delete From Bombas");
        posto.IniciaMotor();
        TurnoDoDia(posto);
        TServicoEncerrantes servico(*posto.Contexto);
        QVERIFY(servico.CarregaBicos().isEmpty());
        QCOMPARE(servico.GravaEncerrantes({TLinhaEncerrante{}}).Mensagens,
                 QStringList("Nenhum bico marcado: nada foi gravado."));
        QVERIFY(Encerrantes(posto).isEmpty());
    }

    // Nozzle block and release.

    void MarcaTodosOsCanaisDaPosicao()
    {
        // The status has one letter per position: position p is the codes p + 3, p + 67, p + 131
        // and p + 195, as the status monitor numbers them.
        TPostoTeste posto;
        posto.Executa("Update Bombas Set CodConcentrador = '006' Where CodBico = '05'");
        posto.Executa("Update Bombas Set CodConcentrador = '070' Where CodBico = '06'");
        posto.IniciaMotor();
        posto.Falso->Status = "LBBL";
        TServicoBloqueio servico(*posto.Contexto);
        QList<TBicoBloqueio> bicos = servico.CarregaBicos();
        QStringList codigos;
        for (const TBicoBloqueio& b : bicos)
            codigos << b.CodConcentrador;
        // By nozzle code; the nozzle without a concentrator code is left out.
        QCOMPARE(codigos, QStringList({"004", "005", "068", "069", "006", "070", "196", "197"}));
        servico.MarcaBloqueados(bicos);
        QStringList marcados;
        for (const TBicoBloqueio& b : bicos)
            if (b.Marcado)
                marcados << b.CodConcentrador;
        QCOMPARE(marcados, QStringList({"005", "069", "006", "070", "197"}));

        // Left as read, nothing is sent: a nozzle is never blocked for its position's neighbour.
        QVERIFY(servico.EnviaComandos(bicos).isEmpty());
        QVERIFY(posto.Falso->Comandos.isEmpty());
        // What the operator changed is sent, in grid order.
        bicos[0].Marcado = true;
        bicos[1].Marcado = false;
        bicos[3].Marcado = false;
        QVERIFY(servico.EnviaComandos(bicos).isEmpty());
        QCOMPARE(posto.Falso->Comandos, QStringList({"FBloqueiaBico 004", "FLiberaBico 005", "FLiberaBico 069"}));

        // A refused command is named, and the others are still sent.
        posto.Falso->Comandos.clear();
        posto.Falso->CodigosRecusados << "004" << "005";
        const QStringList falhas = servico.EnviaComandos(bicos);
        QCOMPARE(posto.Falso->Comandos.size(), 3);
        QCOMPARE(falhas, QStringList({"Erro ao bloquear o Bico: 01\r'004' não é um valor inteiro válido",
                                      "Erro ao desbloquear o Bico: 02\r'005' não é um valor inteiro válido"}));
    }

    // Each nozzle's letter: its own where the nozzle status gives one that agrees with its
    // position about a block, its position's otherwise.
    void LetraDeCadaBico_data()
    {
        QTest::addColumn<QString>("porPosicao");
        QTest::addColumn<QString>("porBico");
        QTest::addColumn<QString>("letras"); // codes 004, 068, 132, 196, 005, 069, 133, 197, 036
        const QString vazio(100, ' ');
        QTest::newRow("sem status por bico") << "BL" << QString() << "BBBBLLLL ";
        QTest::newRow("biblioteca sem o texto (F)") << "BL" << "F" << "BBBBLLLL ";
        QTest::newRow("03 e 06 bloqueados") << "BB" << "LBLLLLBL" + vazio.mid(8) << "LBLLLLBL ";
        QTest::newRow("canal sem bico não tem letra") << "BA" << "LB  AA  " + vazio.mid(8) << "LB  AA   ";
        QTest::newRow("posição B sem bico B: a posição vale") << "BL" << "LLLLLLLL" + vazio.mid(8) << "BBBBLLLL ";
        QTest::newRow("bico B em posição livre: a posição vale") << "LL" << "BLLLLLLL" + vazio.mid(8) << "LLLLLLLL ";
        QTest::newRow("byte desconhecido na posição") << "?B" << "ALLLLBLL" + vazio.mid(8) << "ALLLLBLL ";
        QTest::newRow("texto curto demais") << "BL" << "LBLL" << "BBBBLLLL ";
        QTest::newRow("posição 33 em diante") << QString(32, 'L') + "B" << vazio << "LLLLLLLLB";
    }
    void LetraDeCadaBico()
    {
        QFETCH(QString, porPosicao);
        QFETCH(QString, porBico);
        QFETCH(QString, letras);
        const TStatusBicos status(porPosicao, porBico);
        QString lidas;
        for (int codigo : {4, 68, 132, 196, 5, 69, 133, 197, 36})
            lidas += TStatusBicos::LetraValida(status.Letra(codigo)) ? status.Letra(codigo) : QChar(' ');
        QCOMPARE(lidas, letras);
    }

    void CodigoNaoDecimalSoFalhaComPosicaoBloqueada()
    {
        TPostoTeste posto;
        posto.Executa("Update Bombas Set CodConcentrador = 'X1' Where CodBico = '08'");
        posto.IniciaMotor();
        TServicoBloqueio servico(*posto.Contexto);
        QList<TBicoBloqueio> bicos = servico.CarregaBicos();
        posto.Falso->Status = "LLLL";
        servico.MarcaBloqueados(bicos);
        posto.Falso->Status = "LB";
        QVERIFY_THROWS_EXCEPTION(EErroConversao, servico.MarcaBloqueados(bicos));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication aplicacao(argc, argv);
    TesteEncerrantes teste;
    return QTest::qExec(&teste, argc, argv);
}
#include "TesteEncerrantes.moc"
