// The operator's steps through the station's operator interface, with the real engine, library,
// simulated concentrator and database: each one leaves exactly one line in LogOperacoes naming the
// user, the action, the nozzles, before → after and the result, and a step that did only part of
// its work is never logged as "ok".
#include "ClassCompanyTec.h"
#include "Motor.h"
#include "OperacoesPosto.h"
#include "PostoTeste.h"
#include "SimuladorTeste.h"

#include <QScopeGuard>

#include <optional>

namespace {

// Waits for a step's answer (the engine runs on this thread: its jobs run while the test waits).
template <class T, class F>
TRespostaOperacao<T> Espera(F pede)
{
    std::optional<TRespostaOperacao<T>> resposta;
    pede([&resposta](const TRespostaOperacao<T>& r) { resposta = r; });
    if (!QTest::qWaitFor([&] { return resposta.has_value(); }, 60000))
        qFatal("the step did not answer");
    return *resposta;
}

// An open shift covering the test clock (09/12/2025 14:03:28).
void TurnoDoDia(TPostoTeste& posto)
{
    posto.Executa("Insert Into MvTurno (Controle, CODEMPRESA, CodTurno, CODVENDEDOR, DTMOVIMENTO, HRABERTURA, "
                  "DtTermino, HrTermino, STATUS) Values ('000777', '00', '1', '001', '09.12.2025', "
                  "'09.12.2025 06:00:00', '09.12.2025', '09.12.2025 22:00:00', 'N')");
}

QList<TLinhaEncerrante> Marca(QList<TLinhaEncerrante> linhas, const QStringList& bicos)
{
    for (TLinhaEncerrante& linha : linhas)
        linha.Marcado = bicos.contains(linha.CodBico);
    return linhas;
}

} // namespace

class TesteLogOperacoes : public QObject, public TSimuladorTeste {
    Q_OBJECT
private slots:
    void initTestCase() { TCompanyTec::DefineArquivoBiblioteca(Executavel("libCompanytec.so")); }
    void cleanup()
    {
        if (Simulador.state() != QProcess::NotRunning) {
            Simulador.terminate();
            Simulador.waitForFinished(5000);
        }
    }

    void UmaLinhaPorAcao_data()
    {
        QTest::addColumn<QString>("acao");
        QTest::addColumn<QStringList>("mudos");   // simulator nozzles whose pump does not answer
        QTest::addColumn<bool>("bancoRecusa");    // the database refuses the change
        QTest::addColumn<QString>("linha");       // the line after its time
        QTest::addColumn<QString>("resultado");   // the start of its result field
        const QString precos = "maria | preço | 01, 03 | 01: 6,190 → 6,250; 03: 5,990 → 6,100 | ";
        QTest::newRow("preço") << "preço" << QStringList{} << false << precos << "ok";
        QTest::newRow("preço, uma bomba muda")
            << "preço" << QStringList{"44"} << false << precos
            << "parcial: Erro ao atualizar o preco na Bomba: 03; o banco ficou com o preço antigo desses bicos. "
               "Com o preço novo na bomba e no banco: 01.";
        QTest::newRow("preço, banco recusa") << "preço" << QStringList{} << true << precos
                                             << "falhou: Erro ao gravar os preços no banco: ";
        QTest::newRow("bloqueia") << "bloqueia" << QStringList{} << false
                                  << "maria | bloqueia | 03 | 03: liberado → bloqueado | " << "ok";
        QTest::newRow("libera") << "libera" << QStringList{} << false
                                << "maria | libera | 03 | 03: bloqueado → liberado | " << "ok";
        QTest::newRow("lê encerrantes") << "lê encerrantes" << QStringList{} << false
                                        << "maria | lê encerrantes | 01, 03 | 01: 152340,125 → 152350,500; 03: "
                                           "254001,750 → 254010,250 | "
                                        << "ok";
        QTest::newRow("lê encerrantes, uma bomba muda")
            << "lê encerrantes" << QStringList{"44"} << false
            << "maria | lê encerrantes | 01, 03 | 01: 152340,125 → 152350,500 | " << "parcial: não lidos 03";
        const QString grava = "maria | grava encerrantes | 01, 03 | 01: 152340,125 → 152350,500; 03: 254001,750 → ";
        QTest::newRow("grava encerrantes") << "grava encerrantes" << QStringList{} << false
                                           << grava + "254010,250 | " << "ok (turno 000777)";
        QTest::newRow("grava encerrantes, uma bomba muda")
            << "grava encerrantes" << QStringList{"44"} << false << grava + "254001,750 | "
            << "falhou: Encerrante não lido dos bicos: 03 Nada foi gravado";
        QTest::newRow("grava encerrantes, banco recusa")
            << "grava encerrantes" << QStringList{} << true << grava + "254010,250 | "
            << "falhou: Erro ao gravar as informações no banco de dados.";
        QTest::newRow("captura") << "captura" << QStringList{} << false << "maria | captura | - | ID 37 | " << "ok";
        QTest::newRow("captura, ID ausente") << "captura ausente" << QStringList{} << false
                                             << "maria | captura | - | ID 99 | "
                                             << "falhou: Registro de abastecimento nº: 99 não encontrado.";
        QTest::newRow("relógio") << "relógio" << QStringList{} << false
                                 << "maria | relógio | - | ? → 09/12/2025 14:03:28 | " << "ok";
        QTest::newRow("intervalo") << "intervalo" << QStringList{} << false
                                   << "maria | intervalo | - | 5 s → 30 s | " << "ok";
        QTest::newRow("intervalo, banco recusa")
            << "intervalo" << QStringList{} << true << "maria | intervalo | - | 5 s → 30 s | "
            << "falhou: Erro ao tentar alterar o tempo de leitura do concentrador";
    }
    void UmaLinhaPorAcao()
    {
        QFETCH(QString, acao);
        QFETCH(QStringList, mudos);
        QFETCH(bool, bancoRecusa);
        QFETCH(QString, linha);
        QFETCH(QString, resultado);
        TPostoTeste posto;
        TurnoDoDia(posto);
        posto.Executa("Update ParaPosto Set TEMPOLECONCENTRADOR = 5");
        // The database refuses while the test holds its lock row (armed once the engine is up).
        posto.Executa("Create Table TravaGravacao (Trava Integer)");
        posto.Executa("Create Exception ERRO_RECUSA 'alteração recusada'");
        for (const char* tabela : {"Bombas", "MvEncerrantes", "ParaPosto"})
            posto.Executa(QString("Create Trigger RECUSA_%1 For %1 Before Insert Or Update As Begin "
                                  "If (Exists(Select 1 From TravaGravacao)) Then Exception ERRO_RECUSA; End")
                              .arg(tabela));
        QVERIFY2(IniciaSimuladorNaPasta(posto.Pasta.path()), "concentrador-sim did not come up");
        qputenv("COMPANYTEC_PORTA1", QFile::encodeName(Link));
        posto.DriverReal = true;
        TLinkor& linkor = posto.IniciaMotor();
        linkor.Ciclo().ParaLeitura();
        if (bancoRecusa)
            posto.Executa("Insert Into TravaGravacao Values (1)");
        TMotor motor(linkor);
        TOperacoesLocais operacoes(motor);
        QObject dono;
        const QString usuario = "maria";
        Ctl({"bico", "bico=04", "encerrante=152350.5"});
        Ctl({"bico", "bico=44", "encerrante=254010.25"});
        if (!mudos.isEmpty())
            Ctl({"falha", "modo=silencio", "bicos=" + mudos.join(",")});
        const QString precoAntes = posto.Linhas("Select PrecoVenda From Bombas Where CodBico = '03'", {"PrecoVenda"}).join("");

        QString avisoLog;
        if (acao == "preço") {
            auto carga = Espera<QList<TLinhaPreco>>([&](auto fim) { operacoes.CarregaPrecos(&dono, fim); });
            QList<TLinhaPreco> linhas;
            for (TLinhaPreco l : carga.Valor()) {
                if (l.CodBico == "01")
                    l.Preco = "6,25";
                else if (l.CodBico == "03")
                    l.Preco = "6,1";
                else
                    continue;
                linhas << l;
            }
            const auto r = Espera<TResultadoPrecos>([&](auto fim) { operacoes.GravaPrecos(&dono, usuario, linhas, fim); });
            QVERIFY(!r.Falhou());
            avisoLog = r.AvisoLog;
            QCOMPARE(r.Dados.Falhou(), bancoRecusa || !mudos.isEmpty());
            // What was refused keeps its old price.
            const QString precoDepois =
                posto.Linhas("Select PrecoVenda From Bombas Where CodBico = '03'", {"PrecoVenda"}).join("");
            QCOMPARE(precoDepois == precoAntes, bancoRecusa || !mudos.isEmpty());
        } else if (acao == "bloqueia" || acao == "libera") {
            const bool bloqueia = acao == "bloqueia";
            const QList<TBicoBloqueio> bicos{{"03", "BICO 03", "068", bloqueia, !bloqueia}};
            const auto r = Espera<TResultadoBloqueio>([&](auto fim) { operacoes.Bloqueia(&dono, usuario, bicos, fim); });
            QVERIFY(!r.Falhou());
            QCOMPARE(bloqueia ? r.Dados.Bloqueados : r.Dados.Liberados, QStringList("03"));
            avisoLog = r.AvisoLog;
        } else if (acao == "lê encerrantes" || acao == "grava encerrantes") {
            auto carga = Espera<QList<TLinhaEncerrante>>([&](auto fim) { operacoes.CarregaEncerrantes(&dono, fim); });
            const QList<TLinhaEncerrante> linhas = Marca(carga.Valor(), {"01", "03"});
            int progressos = 0;
            const auto lidas = Espera<TLeituraEncerrantes>([&](auto fim) {
                operacoes.LeEncerrantes(&dono, usuario, linhas, [&](int, const TLinhaEncerrante&, const QString&) { ++progressos; },
                                        fim);
            });
            QVERIFY(!lidas.Falhou());
            QCOMPARE(progressos, 2);
            QCOMPARE(lidas.Dados.NaoLidos, mudos.isEmpty() ? QStringList() : QStringList("03"));
            avisoLog = lidas.AvisoLog;
            if (acao == "grava encerrantes") {
                QFile::remove(posto.Pasta.filePath("LogOperacoes")); // only the recording's line counts here
                const auto r = Espera<TResultadoGravacao>([&](auto fim) {
                    operacoes.GravaEncerrantes(&dono, usuario, lidas.Dados.Linhas, {}, fim);
                });
                QVERIFY(!r.Falhou());
                QCOMPARE(r.Dados.Encerra, mudos.isEmpty() && !bancoRecusa);
                avisoLog = r.AvisoLog;
            }
        } else if (acao.startsWith("captura")) {
            const qint32 id = acao == "captura" ? 37 : 99;
            Ctl({"abastece", "bico=44", "litros=10", "preco=5.99", "id=37"});
            const auto r = Espera<TResultadoCaptura>([&](auto fim) {
                operacoes.Captura(&dono, usuario, id, QString::number(id), fim);
            });
            QVERIFY(!r.Falhou());
            QCOMPARE(r.Dados.Gravado, id == 37);
            avisoLog = r.AvisoLog;
        } else if (acao == "relógio") {
            const auto r = Espera<TResultadoRelogio>([&](auto fim) { operacoes.AcertaRelogio(&dono, usuario, fim); });
            QVERIFY(!r.Falhou());
            avisoLog = r.AvisoLog;
        } else if (acao == "intervalo") {
            const auto r = Espera<TResultadoIntervalo>([&](auto fim) {
                operacoes.AlteraIntervalo(&dono, usuario, "30", fim);
            });
            QVERIFY(!r.Falhou());
            QCOMPARE(r.Dados.Falha.isEmpty(), !bancoRecusa);
            QCOMPARE(r.Dados.Atual, bancoRecusa ? 5 : 30);
            avisoLog = r.AvisoLog;
        } else {
            QFAIL("unknown action");
        }
        QCOMPARE(avisoLog, QString());

        QStringList linhas = posto.Arquivo("LogOperacoes").split("\r\n");
        linhas.removeAll(QString());
        QCOMPARE(linhas.size(), 1);
        const QString prefixo = "09/12/2025 14:03:28 | " + linha;
        QVERIFY2(linhas[0].startsWith(prefixo), qPrintable(linhas[0]));
        QVERIFY2(linhas[0].mid(prefixo.size()).startsWith(resultado), qPrintable(linhas[0]));
        QCOMPARE(linhas[0].count(" | "), 5);
    }

    void DiarioPelaInterface()
    {
        // A fueling on a nozzle the station does not know is held in the journal; the interface
        // lists it and sends it back to waiting, and the resend is logged. An entry that cannot
        // be resent is an error with the journal's words, logged as failed.
        TPostoTeste posto;
        posto.Executa("Update Bombas Set CodConcentrador = NULL Where CodBico = '04'"); // 45 unknown
        QVERIFY2(IniciaSimuladorNaPasta(posto.Pasta.path()), "concentrador-sim did not come up");
        qputenv("COMPANYTEC_PORTA1", QFile::encodeName(Link));
        posto.DriverReal = true;
        TLinkor& linkor = posto.IniciaMotor();
        linkor.Ciclo().ParaLeitura();
        TMotor motor(linkor);
        TOperacoesLocais operacoes(motor);
        QObject dono;
        Ctl({"abastece", "bico=45", "litros=10", "preco=5.99", "id=38"});
        const auto captura = Espera<TResultadoCaptura>([&](auto fim) { operacoes.Captura(&dono, "jose", 38, "38", fim); });
        QVERIFY(!captura.Dados.Gravado);
        const auto retidos = Espera<QList<TEntradaDiario>>([&](auto fim) {
            operacoes.ListaDiario(&dono, TFiltroDiario::Retidos, {}, fim);
        });
        QCOMPARE(retidos.Valor().size(), 1);
        QCOMPARE(retidos.Dados[0].Campos.Id, 38);

        const auto reenvio = Espera<TResultadoReenvio>([&](auto fim) {
            operacoes.ReenviaDiario(&dono, "jose", 0, false, fim);
        });
        QCOMPARE(reenvio.Valor().Quantas, 1);
        const auto inexistente = Espera<TResultadoReenvio>([&](auto fim) {
            operacoes.ReenviaDiario(&dono, "jose", 999, false, fim);
        });
        QVERIFY(inexistente.Erro.contains("A entrada 999 não existe no diário"));
        QVERIFY_THROWS_EXCEPTION(EErro, inexistente.Valor());

        QStringList linhas = posto.Arquivo("LogOperacoes").split("\r\n");
        linhas.removeAll(QString());
        QCOMPARE(linhas.size(), 3);
        QVERIFY2(linhas[0].contains("| jose | captura | - | ID 38 | falhou: "), qPrintable(linhas[0]));
        QCOMPARE(linhas[1].section(" | ", 1),
                 QString("jose | reenvia diário | - | todas as retidas: retida → aguardando | ok: 1 entrada(s)"));
        QVERIFY2(linhas[2].contains("| jose | reenvia diário | - | entrada 999: retida → aguardando | falhou: "),
                 qPrintable(linhas[2]));
        QVERIFY(linhas[2].contains("A entrada 999 não existe no diário"));
    }

    void BloqueioComUmBicoRecusado()
    {
        // Two nozzles blocked, the concentrator refuses one: the answer names each, and the line
        // says partial, naming the one left as it was.
        TPostoTeste posto;
        posto.PreparaFalso = [](TConcentradorFalso& falso) { falso.CodigosRecusados = {"133"}; };
        TLinkor& linkor = posto.IniciaMotor();
        linkor.Ciclo().ParaLeitura();
        TMotor motor(linkor);
        TOperacoesLocais operacoes(motor);
        QObject dono;
        const QList<TBicoBloqueio> bicos{{"03", "BICO 03", "068", true, false}, {"06", "BICO 06", "133", true, false}};
        const auto r = Espera<TResultadoBloqueio>([&](auto fim) { operacoes.Bloqueia(&dono, "ana", bicos, fim); });
        QCOMPARE(r.Valor().Bloqueados, QStringList("03"));
        QCOMPARE(r.Dados.BicosFalhos, QStringList("06"));
        QCOMPARE(r.Dados.Falhas.size(), 1);
        QVERIFY(r.Dados.Falhas[0].startsWith("Erro ao bloquear o Bico: 06\r"));
        QStringList linhas = posto.Arquivo("LogOperacoes").split("\r\n");
        linhas.removeAll(QString());
        QCOMPARE(linhas.size(), 1);
        QVERIFY2(linhas[0].section(" | ", 1).startsWith("ana | bloqueia | 03, 06 | 03: liberado → bloqueado; 06: liberado "
                                                         "→ bloqueado | parcial: sem efeito em 06: Erro ao bloquear o "
                                                         "Bico: 06 "),
                 qPrintable(linhas[0]));
    }

    void LogQueNaoGravaNaoDesfazOPasso()
    {
        // LogOperacoes cannot be written (a folder stands in its place): the interval is still
        // changed and answered as changed, the answer carries the warning, the error log says so,
        // and the line is kept for when the file can be written.
        TPostoTeste posto;
        QVERIFY(QDir(posto.Pasta.path()).mkdir("LogOperacoes"));
        TLinkor& linkor = posto.IniciaMotor();
        linkor.Ciclo().ParaLeitura();
        TMotor motor(linkor);
        TOperacoesLocais operacoes(motor);
        QObject dono;
        const auto r = Espera<TResultadoIntervalo>([&](auto fim) {
            operacoes.AlteraIntervalo(&dono, "maria", "30", fim);
        });
        QVERIFY(!r.Falhou());
        QCOMPARE(r.Dados.Falha, QString());
        QCOMPARE(r.Dados.Atual, 30);
        QVERIFY(r.AvisoLog.startsWith("O log de operações não pôde ser gravado"));
        QVERIFY(posto.LinhasErro().join("\n").contains("O log de operações não pôde ser gravado"));
        QVERIFY(QDir(posto.Pasta.path()).rmdir("LogOperacoes"));
        QVERIFY(linkor.Contexto().LogOperacoes().Descarrega());
        QVERIFY(posto.Arquivo("LogOperacoes").contains("| maria | intervalo | - |"));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication aplicacao(argc, argv);
    TesteLogOperacoes teste;
    return QTest::qExec(&teste, argc, argv);
}
#include "TesteLogOperacoes.moc"
