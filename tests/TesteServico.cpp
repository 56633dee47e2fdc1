// The service's two seams to the outside: the datagrams systemd reads, and the answers given in
// place of an operator.
#include "MensagensServico.h"
#include "NotificacaoSistema.h"
#include "NotificacaoTeste.h"
#include "OpcoesPrograma.h"
#include "Relogio.h"
#include "SinaisTermino.h"

#include <QDir>
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
        TMensagensServico mensagens(notificacao);
        QStringList log;
        mensagens.DefineRegistroErro([&log](const QString& l) { log << l; });
        QCOMPARE(mensagens.MostraMensagem(tipo, QStringLiteral("Erro ao Gravar o Abastecimento \rx"), botoes), resposta);
        QCOMPARE(log, QStringList{linha});
    }

    // The retry question waits with a growing pause; a stop signal in the pause answers no at
    // once, so a service whose database never comes back still stops on request.
    void SinalNaPausaDaRetentativa()
    {
        const QString endereco = Pasta.filePath("retentativa.sock");
        TReceptorNotificacoes receptor(endereco);
        QVERIFY(receptor.Ligado);
        TNotificacaoSistema notificacao(endereco);
        TMensagensServico mensagens(notificacao);
        ::raise(SIGTERM); // blocked: stays pending until the pause reads it
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

    // --posto wins over LINKOR_POSTO, which wins over the build's default (none in a build tree:
    // files beside the executable, Caminho.ini in the current folder, as a copied folder has them).
    void PastaDoPosto_data()
    {
        QTest::addColumn<QString>("opcao");
        QTest::addColumn<QByteArray>("ambiente");
        QTest::addColumn<QString>("esperada");
        QTest::newRow("nenhuma") << QString() << QByteArray() << QString();
        QTest::newRow("ambiente") << QString() << QByteArray("/srv/posto") << "/srv/posto";
        QTest::newRow("opcao vence") << "/var/lib/outro" << QByteArray("/srv/posto") << "/var/lib/outro";
    }
    void PastaDoPosto()
    {
        QFETCH(QString, opcao);
        QFETCH(QByteArray, ambiente);
        QFETCH(QString, esperada);
        qputenv(kVariavelPastaPosto, ambiente);
        const QString pasta = EscolhePastaPosto(opcao);
        qunsetenv(kVariavelPastaPosto);
        QCOMPARE(pasta, esperada);
        const TRelogio relogio(pasta);
        const QString executavel = QCoreApplication::applicationDirPath() + '/';
        QCOMPARE(relogio.PastaExecutavel(), esperada.isEmpty() ? executavel : esperada + '/');
        QCOMPARE(relogio.PastaAtual(), esperada.isEmpty() ? QDir::currentPath() + '/' : esperada + '/');
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
