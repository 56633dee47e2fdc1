// The programs themselves, stopped from outside: SIGTERM ends the window and the service promptly
// and cleanly, whether polling, waiting between two database attempts or in a start-up question,
// or stuck in a database that stopped answering.
#include "Diario.h"
#include "NotificacaoTeste.h"
#include "Posto.h"
#include "ServidorFirebird.h"
#include "SimuladorTeste.h"

#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <csignal>

class TesteSinais : public QObject, public TSimuladorTeste {
    Q_OBJECT
    QTemporaryDir Pasta;
    QString Programa; // a copy of the program in the temporary folder: its logs land there
    QProcess Linkor;

    QString LeErros() const
    {
        QFile f(Pasta.filePath("LogErroConcentrador"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    // The window (a copy beside its logs), or the service with the same folder as its station's.
    void IniciaLinkor(const QString& caminhoBanco, const QString& senha = {}, bool servico = false)
    {
        QFile ini(Pasta.filePath("Caminho.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(("[DATABASEESTOQUE]\r\nCAMINHO=" + caminhoBanco + "\r\nUSUARIO=SYSDBA\r\nSENHA=" + senha + "\r\n")
                      .toUtf8());
        ini.close();
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("QT_QPA_PLATFORM", "offscreen");
        ambiente.insert("COMPANYTEC_PORTA1", Link);
        if (servico) // where a test may stand in for systemd
            ambiente.insert("NOTIFY_SOCKET", Pasta.filePath("notify.sock"));
        Linkor.setProcessEnvironment(ambiente);
        Linkor.setWorkingDirectory(Pasta.path());
        Linkor.setProcessChannelMode(QProcess::ForwardedChannels);
        MorreComOTeste(Linkor);
        if (servico)
            Linkor.start(Executavel("linkor-servico"), {"--posto", Pasta.path()});
        else
            Linkor.start(Programa, {});
        QVERIFY(Linkor.waitForStarted(5000));
    }

    // The rows of the tests run on both programs.
    static void Programas()
    {
        QTest::addColumn<bool>("servico");
        QTest::newRow("janela") << false;
        QTest::newRow("servico") << true;
    }

    void TerminaEConfere()
    {
        ::kill(static_cast<pid_t>(Linkor.processId()), SIGTERM);
        QVERIFY2(Linkor.waitForFinished(10000), "linkor did not stop within 10 s of SIGTERM");
        QCOMPARE(Linkor.exitStatus(), QProcess::NormalExit);
        QCOMPARE(Linkor.exitCode(), 0);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(Pasta.isValid());
        Programa = CopiaPrograma(Pasta.path());
        QVERIFY(!Programa.isEmpty());
        QVERIFY2(IniciaSimuladorNaPasta(Pasta.path()), "concentrador-sim did not come up");
    }
    void cleanupTestCase()
    {
        Simulador.terminate();
        QVERIFY(Simulador.waitForFinished(5000));
    }

    void TerminaDuranteALeitura()
    {
        const QString banco = Pasta.filePath("POSTO.FDB");
        CriaBancoPosto(banco, true);
        for (const QString sufixo : {"", "-wal", "-shm"}) // a new station: its journal begins empty
            QFile::remove(Pasta.filePath("Diario.sqlite" + sufixo));
        Ctl({"abastece", "bico=04", "litros=10", "preco=5.899"});
        IniciaLinkor(banco);
        QTRY_COMPARE_WITH_TIMEOUT(Estado("pendentes"), QString("0"), 30000);
        TerminaEConfere();
    }

    void TerminaNaPerguntaDaPartida()
    {
        const qsizetype antes = LeErros().size();
        // Nothing listens on port 1: the first attempt fails, 7 s later the second, then the
        // question waits for an operator who never comes.
        IniciaLinkor("127.0.0.1/1:/nada.fdb");
        QTest::qWait(9000);
        QCOMPARE(Linkor.state(), QProcess::Running);
        TerminaEConfere();
        QVERIFY(LeErros().mid(antes).contains("Erro na inicialização: "));
    }

    // Start-up waiting between two attempts at a database that refuses: the stop wakes the wait,
    // so the engine ends by itself (nothing says it was stuck) and the program ends cleanly.
    void TerminaNaPausaEntreTentativas_data() { Programas(); }
    void TerminaNaPausaEntreTentativas()
    {
        QFETCH(bool, servico);
        const qsizetype antes = LeErros().size();
        IniciaLinkor("127.0.0.1/1:/nada.fdb", {}, servico); // nothing listens on port 1
        QTRY_VERIFY_WITH_TIMEOUT(LeErros().mid(antes).contains("Não foi possível conectar"), 30000);
        QTest::qWait(1000); // well inside the 7 s before the next attempt
        QCOMPARE(Linkor.state(), QProcess::Running);
        QElapsedTimer fim;
        fim.start();
        TerminaEConfere();
        qInfo("ended %lld ms after SIGTERM", static_cast<long long>(fim.elapsed()));
        const QString erros = LeErros().mid(antes);
        QVERIFY2(!erros.contains("não responderam"), qPrintable(erros));
        QVERIFY2(erros.contains("encerrado enquanto aguardava a próxima tentativa"), qPrintable(erros));
    }

    // The database server frozen while a fueling is being stored: the engine hangs in the
    // statement, yet SIGTERM ends the program (the time it takes is a benchmark figure; here only
    // that it ends). The fueling waits in the journal for the next run, so the close acknowledged
    // it at the concentrator (before the journal, the concentrator had to keep it).
    void TerminaComOBancoParado_data() { Programas(); }
    void TerminaComOBancoParado()
    {
        QFETCH(bool, servico);
        TServidorFirebird servidor;
        QVERIFY2(servidor.Inicia(), qPrintable(servidor.Motivo()));
        const QString banco = Pasta.filePath(servico ? "SERVICO.FDB" : "SERVIDOR.FDB");
        QFile::remove(Pasta.filePath("notify.sock"));
        TReceptorNotificacoes gerente(Pasta.filePath("notify.sock"));
        QVERIFY(gerente.Ligado);
        CriaBancoPosto(banco, true);
        for (const QString sufixo : {"", "-wal", "-shm"}) // a new station: its journal begins empty
            QFile::remove(Pasta.filePath("Diario.sqlite" + sufixo));
        Ctl({"abastece", "bico=04", "litros=10", "preco=5.899"});
        IniciaLinkor(servidor.Endereco(banco), servidor.Senha(), servico);
        QTRY_COMPARE_WITH_TIMEOUT(Estado("pendentes"), QString("0"), 30000);
        if (servico) { // systemd heard it ready and alive
            QTRY_VERIFY_WITH_TIMEOUT(gerente.Chegou("READY=1"), 30000);
            QTRY_VERIFY_WITH_TIMEOUT(gerente.Chegou("WATCHDOG=1"), 30000);
        }
        const auto pid = static_cast<pid_t>(servidor.Pid());
        QCOMPARE(::kill(pid, SIGSTOP), 0);
        auto continua = qScopeGuard([pid] { ::kill(pid, SIGCONT); });
        Ctl({"abastece", "bico=04", "litros=12", "preco=5.899"});
        // Read into the journal, then stuck storing it (on a loaded machine the read may take a while).
        const auto noDiario = [this] {
            try {
                return TDiario(TDiario::ArquivoDoPosto(Pasta.path() + '/'), TAberturaDiario::SoAbre).ContaAguardando();
            } catch (const std::exception&) {
                return qint64(-1);
            }
        };
        QTRY_COMPARE_WITH_TIMEOUT(noDiario(), qint64(1), 60000);
        QTest::qWait(1000);
        QCOMPARE(Linkor.state(), QProcess::Running);
        const qsizetype antes = LeErros().size();
        QElapsedTimer fim;
        fim.start();
        ::kill(static_cast<pid_t>(Linkor.processId()), SIGTERM);
        QVERIFY2(Linkor.waitForFinished(20000), "linkor did not end within 20 s of SIGTERM with the database frozen");
        qInfo("ended %lld ms after SIGTERM", static_cast<long long>(fim.elapsed()));
        if (servico)
            QVERIFY(gerente.Chegou("STOPPING=1"));
        // The stuck statement was given up and the engine closed the link itself: a clean end,
        // not one that left the engine behind.
        QCOMPARE(Linkor.exitStatus(), QProcess::NormalExit);
        QCOMPARE(Linkor.exitCode(), 0);
        const QString erros = LeErros().mid(antes);
        QVERIFY2(!erros.contains("não responderam"), qPrintable(erros));
        QCOMPARE(Estado("pendentes"), QString("0"));
        TDiario diario(TDiario::ArquivoDoPosto(Pasta.path() + '/'), TAberturaDiario::SoAbre);
        const QList<TEntradaDiario> aguardando = diario.Aguardando(10);
        QCOMPARE(aguardando.size(), 1);
        QCOMPARE(aguardando[0].Campos.Litragem, 12.0);
    }
};

QTEST_GUILESS_MAIN(TesteSinais)
#include "TesteSinais.moc"
