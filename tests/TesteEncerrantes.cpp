#include "PostoTeste.h"
#include "ServicoBloqueio.h"
#include "ServicoEncerrantes.h"

#include <QCoreApplication>

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

QStringList Textos(const TRespondedorTeste& respondedor)
{
    QStringList textos;
    for (const auto& caixa : respondedor.Caixas) {
        if (caixa.Tipo != TTipoMensagem::Informacao)
            textos << "tipo inesperado: " + caixa.Texto;
        else
            textos << caixa.Texto;
    }
    return textos;
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
        QTest::newRow("lido") << QByteArray("68") << 254010.5 << "254010,500" << "8,750" << "254010,5|8,75";
        QTest::newRow("zero") << QByteArray("68") << 0.0 << "0,000" << "-254001,750" << "0|-254001,75";
        QTest::newRow("negativo") << QByteArray("68") << -5.0 << "0,000" << "-254001,750" << "0|-254001,75";
        QTest::newRow("de outro bico") << QByteArray("44") << 254010.5 << "0,000" << "-254001,750" << "0|-254001,75";
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
        linhas[2].Marcado = true; // nozzle 03 on 068: asked as "68", the decimal digits
        posto.Falso->Encerrantes["68"] = TConcentradorFalso::Encerrante(nomeLido, valor);
        QStringList status;
        QVERIFY(servico.LeEncerrantes(linhas, [&](int i, const QString& texto) { status << QString::number(i) + texto; }));
        QCOMPARE(posto.Falso->Comandos, QStringList("LerEncerrante L 68"));
        QCOMPARE(linhas[2].Final, final);
        QCOMPARE(linhas[2].Saida, saida);
        QCOMPARE(linhas[1].Final, linhas[1].Inicial);
        QCOMPARE(status, QStringList("2Aguarde, Pesquisando Encerrante do Bico: 03"));
        QVERIFY(posto.Respondedor.Caixas.isEmpty());

        // Recorded as shown.
        TurnoDoDia(posto);
        QVERIFY(servico.GravaEncerrantes(linhas));
        QCOMPARE(posto.Linhas("Select EncerranteFim, Saida From MvEncerrantes Where CodBico = '03'",
                              {"EncerranteFim", "Saida"}),
                 QStringList(gravado));
    }

    void FalhaNaLeituraParaNoBico()
    {
        TPostoTeste posto;
        posto.IniciaMotor();
        TServicoEncerrantes servico(*posto.Contexto);
        QList<TLinhaEncerrante> linhas = servico.CarregaBicos();
        for (int i : {0, 1, 2})
            linhas[i].Marcado = true;
        posto.Falso->Encerrantes["04"] = TConcentradorFalso::Encerrante("04", 152350);
        posto.Falso->CodigosRecusados << "05";
        QVERIFY(!servico.LeEncerrantes(linhas));
        QCOMPARE(posto.Falso->Comandos, QStringList({"LerEncerrante L 04", "LerEncerrante L 05"}));
        QCOMPARE(Textos(posto.Respondedor), QStringList("Erro ao consultar o encerrante do Bico: 005"));
        QCOMPARE(linhas[0].Final, QString("152350,000"));
        QCOMPARE(linhas[1].Final, linhas[1].Inicial);
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
        else
            QCOMPARE(Textos(posto.Respondedor), QStringList("Não há turno aberto para este usuário!"));
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

    void OkSemLeituraGravaFinalIgualInicial()
    {
        TPostoTeste posto;
        posto.IniciaMotor();
        TurnoDoDia(posto);
        TServicoEncerrantes servico(*posto.Contexto);
        QList<TLinhaEncerrante> linhas = servico.CarregaBicos();
        QStringList status;
        QVERIFY(servico.GravaEncerrantes(linhas, [&](const QString& texto) { status << texto; }));
        QCOMPARE(Textos(posto.Respondedor), QStringList("Encerrantes gravados com sucesso!"));
        QCOMPARE(status.size(), 9);
        QCOMPARE(status.first(), QString("Aguarde, gravando Encerrante do Bico: 01"));
        QCOMPARE(servico.ChaveTurno(), QString("000777"));
        const QStringList gravados = Encerrantes(posto);
        QCOMPARE(gravados.size(), 9);
        QCOMPARE(gravados.first(), QString("000777|01|152340,125|152340,125|0|09/12/2025 14:03:28|14:03:28"));
        QCOMPARE(gravados.last(), QString("000777|09|0|0|0|09/12/2025 14:03:28|14:03:28"));
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());

        // Again in the same shift: one row per nozzle, with the second recording's values.
        posto.Relogio.Momento = posto.Relogio.Momento.addSecs(60);
        linhas[0].Final = "152400,000";
        linhas[0].Saida = servico.CalculaSaida(linhas[0].Final, linhas[0].Inicial);
        QVERIFY(servico.GravaEncerrantes(linhas));
        const QStringList regravados = Encerrantes(posto);
        QCOMPARE(regravados.size(), 9);
        QCOMPARE(regravados.first(), QString("000777|01|152340,125|152400|59,875|09/12/2025 14:04:28|14:04:28"));
    }

    void DoisTurnosGravaNoMaisAntigo()
    {
        // Only the later shift covers now; the rows still go under the earlier one's key.
        TPostoTeste posto;
        posto.IniciaMotor();
        Turno(posto, "000002", "09.12.2025", "09.12.2025 14:00:00", "09.12.2025", "09.12.2025 22:00:00");
        Turno(posto, "000001", "09.12.2025", "09.12.2025 06:00:00", "09.12.2025", "09.12.2025 14:00:00", false);
        TServicoEncerrantes servico(*posto.Contexto);
        QVERIFY(servico.GravaEncerrantes(servico.CarregaBicos()));
        QCOMPARE(servico.Turno().Controle, QString("000002"));
        QCOMPARE(posto.Linhas("Select Distinct CodTurno From MvEncerrantes", {"CodTurno"}), QStringList("000001"));
    }

    void SemTurnoNaoGrava()
    {
        TPostoTeste posto;
        posto.IniciaMotor();
        Turno(posto, "000001", "09.12.2025", "09.12.2025 06:00:00", "09.12.2025", "09.12.2025 14:00:00");
        TServicoEncerrantes servico(*posto.Contexto);
        QVERIFY(!servico.GravaEncerrantes(servico.CarregaBicos()));
        QCOMPARE(Textos(posto.Respondedor), QStringList({"Não há turno aberto para este usuário!",
                                                         "Não há turno aberto. Os encerrantes não serão gravados!"}));
        posto.Respondedor.Caixas.clear();
        posto.Executa("Delete From MvTurno");
        QVERIFY(!servico.GravaEncerrantes(servico.CarregaBicos()));
        QCOMPARE(posto.Respondedor.Caixas.size(), 2);
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
        QVERIFY(servico.GravaEncerrantes(servico.CarregaBicos())); // the dialog is done
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
        const QString texto = posto.Respondedor.Caixas[0].Texto;
        QVERIFY2(texto.startsWith("Erro ao gravar as informações no banco ") && texto.contains("gravação recusada"),
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
        int ticks = 0;
        QVERIFY(servico.GravaEncerrantes(servico.CarregaBicos(), [&](const QString&) {
            posto.Ciclo().LeConcentradorTimer();
            ++ticks;
            QCOMPARE(posto.Linhas("Select Count(*) As N From MvEncerrantes", {"N"}), QStringList("0"));
        }));
        QCOMPARE(ticks, 9);
        QCOMPARE(posto.Falso->LeiturasPlanas, 0);
        QCOMPARE(Encerrantes(posto).size(), 9);
        posto.Ciclo().LeConcentradorTimer();
        QCOMPARE(posto.Linhas("Select Id From MvAbast", {"Id"}), QStringList("37"));
    }

    void ZeroNaoLidoComPontoDecimal()
    {
        // Under a full stop as decimal separator an unread totalizer still reads back as zero.
        TPostoTeste posto;
        posto.Regional.SeparadorDecimal = '.';
        posto.Regional.SeparadorMilhar = ',';
        posto.IniciaMotor();
        TurnoDoDia(posto);
        TServicoEncerrantes servico(*posto.Contexto);
        QList<TLinhaEncerrante> linhas = servico.CarregaBicos();
        QCOMPARE(linhas[0].Inicial, QString("152340.125"));
        linhas[0].Marcado = true;
        QVERIFY(servico.LeEncerrantes(linhas));
        QCOMPARE(linhas[0].Final, QString("0.000"));
        QCOMPARE(linhas[0].Saida, QString("-152340.125"));
        QVERIFY(servico.GravaEncerrantes(linhas));
        QCOMPARE(posto.Linhas("Select EncerranteFim, Saida From MvEncerrantes Where CodBico = '01'",
                              {"EncerranteFim", "Saida"}),
                 QStringList("0|-152340,125"));
    }

    void PostoSemBicosNaoGravaLinhaVazia()
    {
        TPostoTeste posto;
        posto.Executa("Delete From Bombas");
        posto.IniciaMotor();
        TurnoDoDia(posto);
        TServicoEncerrantes servico(*posto.Contexto);
        QVERIFY(servico.CarregaBicos().isEmpty());
        QVERIFY(servico.GravaEncerrantes({TLinhaEncerrante{}}));
        QCOMPARE(Textos(posto.Respondedor), QStringList("Encerrantes gravados com sucesso!"));
        QVERIFY(Encerrantes(posto).isEmpty());
    }

    // Nozzle block and release.

    void MarcaSoOPrimeiroCanalDaPosicao()
    {
        TPostoTeste posto;
        posto.Executa("Update Bombas Set CodConcentrador = '006' Where CodBico = '05'");
        posto.Executa("Update Bombas Set CodConcentrador = '070' Where CodBico = '06'");
        posto.IniciaMotor();
        posto.Falso->Status = "LLBL";
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
        QCOMPARE(marcados, QStringList("006"));

        // Every nozzle gets one command, in grid order.
        bicos[0].Marcado = true;
        servico.EnviaComandos(bicos);
        QCOMPARE(posto.Falso->Comandos,
                 QStringList({"FBloqueiaBico 004", "FLiberaBico 005", "FLiberaBico 068", "FLiberaBico 069",
                              "FBloqueiaBico 006", "FLiberaBico 070", "FLiberaBico 196", "FLiberaBico 197"}));

        // The first refused command stops the rest.
        posto.Falso->Comandos.clear();
        posto.Falso->CodigosRecusados << "068";
        QVERIFY_THROWS_EXCEPTION(EErro, servico.EnviaComandos(bicos));
        QCOMPARE(posto.Falso->Comandos, QStringList({"FBloqueiaBico 004", "FLiberaBico 005", "FLiberaBico 068"}));
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
