// The service's two seams to the outside: the datagrams systemd reads, and the answers given in
// place of an operator.
#include "../companytec/CaminhoPorta.h"
#include "EstadoServico.h"
#include "MensagensServico.h"
#include "NotificacaoSistema.h"
#include "NotificacaoTeste.h"
#include "OpcoesPrograma.h"
#include "Relogio.h"
#include "SinaisTermino.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

Q_DECLARE_METATYPE(TTipoMensagem)
Q_DECLARE_METATYPE(TBotoes)
Q_DECLARE_METATYPE(TResposta)


class TesteServico : public QObject {
    Q_OBJECT
    QTemporaryDir Pasta;

private slots:
    void initTestCase()
    {
        QVERIFY(Pasta.isValid());
        BloqueiaSinaisTermino();
    }

    void NotificacoesChegam_data()
    {
        QTest::addColumn<QString>("endereco");
        QTest::newRow("caminho") << Pasta.filePath("notify.sock");
        QTest::newRow("abstrato") << QStringLiteral("@linkor-teste-%1").arg(::getpid());
    }
    void NotificacoesChegam()
    {
        QFETCH(QString, endereco);
        TReceptorNotificacoes receptor(endereco);
        QVERIFY(receptor.Ligado);
        TNotificacaoSistema notificacao(endereco);
        QVERIFY(notificacao.Ativa());
        notificacao.Pronto(QStringLiteral("Procurando\nabastecimentos"));
        notificacao.Vivo();
        notificacao.EstendePartida(1500);
        notificacao.Parando();
        QCOMPARE(receptor.Novas(), (QStringList{"READY=1\nSTATUS=Procurando abastecimentos", "WATCHDOG=1",
                                             "EXTEND_TIMEOUT_USEC=1500000", "STOPPING=1"}));
    }

    // Not under systemd, or an address it never gives: nothing is sent and nothing fails.
    void EnderecoSemGerenteSilencia_data()
    {
        QTest::addColumn<QString>("endereco");
        QTest::newRow("ausente") << QString();
        QTest::newRow("relativo") << QStringLiteral("notify.sock");
        QTest::newRow("so arroba") << QStringLiteral("@");
        QTest::newRow("longo demais") << "/" + QString(200, 'a');
    }
    void EnderecoSemGerenteSilencia()
    {
        QFETCH(QString, endereco);
        TNotificacaoSistema notificacao(endereco);
        QVERIFY(!notificacao.Ativa());
        notificacao.Pronto(QStringLiteral("x"));
        notificacao.Vivo();
    }

    void IntervaloVigia_data()
    {
        QTest::addColumn<QByteArray>("usec");
        QTest::addColumn<QByteArray>("pid");
        QTest::addColumn<qint64>("esperado");
        const QByteArray eu = QByteArray::number(::getpid());
        QTest::newRow("sem vigia") << QByteArray() << QByteArray() << qint64(0);
        QTest::newRow("um minuto") << QByteArray("60000000") << QByteArray() << qint64(60000);
        QTest::newRow("para este processo") << QByteArray("30000000") << eu << qint64(30000);
        QTest::newRow("para outro processo") << QByteArray("30000000") << QByteArray("1") << qint64(0);
        QTest::newRow("ilegivel") << QByteArray("trinta") << QByteArray() << qint64(0);
    }
    void IntervaloVigia()
    {
        QFETCH(QByteArray, usec);
        QFETCH(QByteArray, pid);
        QFETCH(qint64, esperado);
        qputenv("WATCHDOG_USEC", usec);
        qputenv("WATCHDOG_PID", pid);
        QCOMPARE(TNotificacaoSistema::IntervaloVigia(), esperado);
        qunsetenv("WATCHDOG_USEC");
        qunsetenv("WATCHDOG_PID");
    }

    // No operator: each box is one line in the error log and on standard error, and only the
    // retry question is answered yes.
    void RespostasSemOperador_data()
    {
        QTest::addColumn<TTipoMensagem>("tipo");
        QTest::addColumn<TBotoes>("botoes");
        QTest::addColumn<TResposta>("resposta");
        QTest::addColumn<QString>("linha");
        QTest::newRow("erro") << TTipoMensagem::Erro << TBotoes::Ok << TResposta::Ok
                              << QStringLiteral("Erro: Erro ao Gravar o Abastecimento x");
        QTest::newRow("ok ou cancelar") << TTipoMensagem::Alerta << TBotoes::OkCancelar << TResposta::Cancelar
                                        << QStringLiteral("Alerta: Erro ao Gravar o Abastecimento x");
        QTest::newRow("confirmacao") << TTipoMensagem::Confirmacao << TBotoes::SimNao << TResposta::Nao
                                     << QStringLiteral("Confirmação: Erro ao Gravar o Abastecimento x");
    }
    void RespostasSemOperador()
    {
        QFETCH(TTipoMensagem, tipo);
        QFETCH(TBotoes, botoes);
        QFETCH(TResposta, resposta);
        QFETCH(QString, linha);
        TNotificacaoSistema notificacao{QString()};
        const TRelogio relogio;
        TMensagensServico mensagens(notificacao, relogio);
        QStringList log;
        mensagens.DefineRegistroErro([&log](const QString& l) { log << l; });
        QCOMPARE(mensagens.MostraMensagem(tipo, QStringLiteral("Erro ao Gravar o Abastecimento \rx"), botoes), resposta);
        QCOMPARE(log, QStringList{linha});
    }

    // The retry question waits with a growing pause; the engine's stop request (the clock
    // interrupted) ends the pause and answers no at once, so a service whose database never comes
    // back still stops on request.
    void ParadaNaPausaDaRetentativa()
    {
        const QString endereco = Pasta.filePath("retentativa.sock");
        TReceptorNotificacoes receptor(endereco);
        QVERIFY(receptor.Ligado);
        TNotificacaoSistema notificacao(endereco);
        const TRelogio relogio;
        TMensagensServico mensagens(notificacao, relogio);
        relogio.Interrompe(); // as TMotor::Para does
        QCOMPARE(mensagens.MostraMensagem(TTipoMensagem::Informacao,
                                          QStringLiteral("Impossível conectar ao banco de dados. \rDeseja tentar novamente?"),
                                          TBotoes::SimNao),
                 TResposta::Nao);
        QVERIFY(mensagens.TerminoSolicitado());
        const QStringList enviadas = receptor.Novas();
        QVERIFY2(enviadas.contains("WATCHDOG=1"), qPrintable(enviadas.join('|')));
        QVERIFY(enviadas.contains(QStringLiteral("STATUS=Banco de dados inacessível; nova tentativa em 5 s")));
        // Once stopping, no further yes.
        QCOMPARE(mensagens.MostraMensagem(TTipoMensagem::Informacao, QStringLiteral("?"), TBotoes::SimNao), TResposta::Nao);
    }

    // --posto wins over LINKOR_POSTO, which wins over the technician's settings file, which wins
    // over the build's default (none in a build tree: files beside the executable, Caminho.ini in
    // the current folder, as a copied folder has them; the package's, /var/lib/linkor).
    void PastaDoPosto_data()
    {
        const QString padrao = QStringLiteral(LINKOR_PASTA_POSTO_DA_CONSTRUCAO);
        QTest::addColumn<QString>("opcao");
        QTest::addColumn<QByteArray>("ambiente");
        QTest::addColumn<QByteArray>("arquivo");
        QTest::addColumn<QString>("esperada");
        QTest::newRow("nenhuma") << QString() << QByteArray() << QByteArray() << padrao;
        QTest::newRow("ambiente") << QString() << QByteArray("/srv/posto") << QByteArray() << "/srv/posto";
        QTest::newRow("opcao vence") << "/var/lib/outro" << QByteArray("/srv/posto") << QByteArray() << "/var/lib/outro";
        QTest::newRow("arquivo") << QString() << QByteArray()
                                 << QByteArray("# comentário\n  POSTO = \"/srv/do arquivo\"  \nPORTA_SERIAL=/dev/x\n")
                                 << "/srv/do arquivo";
        QTest::newRow("ambiente vence o arquivo") << QString() << QByteArray("/srv/posto")
                                                  << QByteArray("POSTO=/srv/do arquivo\n") << "/srv/posto";
        QTest::newRow("chave comentada") << QString() << QByteArray() << QByteArray("#POSTO=/srv/nao\n") << padrao;
    }
    void PastaDoPosto()
    {
        QFETCH(QString, opcao);
        QFETCH(QByteArray, ambiente);
        QFETCH(QByteArray, arquivo);
        QFETCH(QString, esperada);
        QTemporaryDir configuracao;
        QFile conf(configuracao.filePath("linkor.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(arquivo);
        conf.close();
        qputenv("LINKOR_CONFIGURACAO", QFile::encodeName(conf.fileName()));
        qputenv(kVariavelPastaPosto, ambiente);
        const QString pasta = EscolhePastaPosto(opcao);
        qunsetenv(kVariavelPastaPosto);
        qunsetenv("LINKOR_CONFIGURACAO");
        QCOMPARE(pasta, esperada);
        const TRelogio relogio(pasta);
        const QString executavel = QCoreApplication::applicationDirPath() + '/';
        QCOMPARE(relogio.PastaExecutavel(), esperada.isEmpty() ? executavel : esperada + '/');
        QCOMPARE(relogio.PastaAtual(), esperada.isEmpty() ? QDir::currentPath() + '/' : esperada + '/');
    }

    // The serial device by name in the settings file stands for whatever COMn the station's
    // parameters give; a test's COMPANYTEC_PORTAn still wins.
    void PortaDoArquivoDeConfiguracao()
    {
        QTemporaryDir configuracao;
        QFile conf(configuracao.filePath("linkor.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("PORTA_SERIAL=/dev/ttyUSB0\n");
        conf.close();
        qputenv("LINKOR_CONFIGURACAO", QFile::encodeName(conf.fileName()));
        const auto fim = qScopeGuard([] {
            qunsetenv("LINKOR_CONFIGURACAO");
            qunsetenv("COMPANYTEC_PORTA2");
        });
        QCOMPARE(CaminhoDaPortaSerial(1), std::string("/dev/ttyUSB0"));
        QCOMPARE(CaminhoDaPortaSerial(7), std::string("/dev/ttyUSB0"));
        QCOMPARE(CaminhoDaPortaSerial(0), std::string());
        qputenv("COMPANYTEC_PORTA2", "/tmp/ttyTESTE");
        QCOMPARE(CaminhoDaPortaSerial(2), std::string("/tmp/ttyTESTE"));
        qunsetenv("LINKOR_CONFIGURACAO");
        QCOMPARE(CaminhoDaPortaSerial(3), std::string("/dev/ttyS2"));
    }

    // The status line: the notice in force or the search, the fuelings of today since the start
    // (from zero again after midnight) and the last one's time; the health file holds the last
    // good tick.
    void EstadoDeRelance()
    {
        QTemporaryDir runtime;
        TEstadoServico estado(runtime.path());
        const QDateTime noite(QDate(2025, 12, 9), QTime(23, 59, 50));
        QCOMPARE(estado.Texto(noite), QString("Procurando abastecimentos; 0 gravado(s) hoje desde a partida"));
        estado.AbastecimentoGravado(noite);
        estado.AbastecimentoGravado(noite.addSecs(5));
        QCOMPARE(estado.Texto(noite.addSecs(6)),
                 QString("Procurando abastecimentos; 2 gravado(s) hoje desde a partida; último às 09/12/2025 23:59:55"));
        estado.DefineAviso("Banco de dados inacessível");
        QCOMPARE(estado.Texto(noite.addSecs(20)),
                 QString("Banco de dados inacessível; 0 gravado(s) hoje desde a partida; último às 09/12/2025 23:59:55"));
        estado.AbastecimentoGravado(noite.addSecs(30));
        QVERIFY(estado.Texto(noite.addSecs(31)).contains("; 1 gravado(s) hoje"));

        QVERIFY(!QFile::exists(estado.ArquivoSaude()));
        estado.TiqueBom(noite);
        QFile saude(runtime.filePath("saude"));
        QVERIFY(saude.open(QIODevice::ReadOnly));
        QCOMPARE(saude.readAll(), QByteArray::number(noite.toSecsSinceEpoch()) + " 2025-12-09T23:59:50\n");
        QVERIFY(TEstadoServico(QString()).ArquivoSaude().isEmpty());
    }

    void PausasCrescemAteMeioMinuto()
    {
        QCOMPARE(TMensagensServico::PausaTentativa(1), 5000);
        QCOMPARE(TMensagensServico::PausaTentativa(2), 10000);
        QCOMPARE(TMensagensServico::PausaTentativa(4), 30000);
        QCOMPARE(TMensagensServico::PausaTentativa(1000), 30000);
    }
};

QTEST_GUILESS_MAIN(TesteServico)
#include "TesteServico.moc"
